#pragma once

// Helpers for the GUI tests: a driver for the modal dialogs and message boxes
// that exec() would otherwise wait on forever, clicks and keys as an operator
// gives them, the frame the link thread would send next, a mutex held as a
// busy link thread holds it, and the check that laid-out texts fit.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSlider>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <deque>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "file_fixtures.h"
#include "resources/dialog_builder.h"
#include "state/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane::testing {

// What a message box showed.
struct Message {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    Qt::WindowFlags flags;
};

// While it lives, looks at the active modal window every few milliseconds
// from the event loop, so a test can work a dialog that exec() blocks on:
// - a new modal window goes to the oldest handler given to onNext();
// - a message box that no handler waits for is recorded in messages() and
//   closed with its default button;
// - a handler whose window has not come after kLimitMs fails the test, and
//   so does one still waiting when the driver goes;
// - a modal window still up after kLimitMs fails the test and is closed, so
//   a test that went wrong fails instead of hanging.
class ModalDriver {
public:
    static constexpr int kPollMs = 10;
    static constexpr int kLimitMs = 5000;

    ModalDriver() { schedule(state_); }
    ~ModalDriver() {
        state_->alive = false;
        if (!state_->handlers.empty()) ADD_FAILURE() << "an expected modal window never came";
    }
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // Runs `act` on the next modal window, which must be a T.
    template <typename T = QWidget>
    void onNext(std::type_identity_t<std::function<void(T*)>> act) {
        Handler handler;
        handler.act = [act](QWidget* modal) {
            auto* window = qobject_cast<T*>(modal);
            if (window == nullptr) {
                ADD_FAILURE() << "expected a " << T::staticMetaObject.className();
                close(modal);
                return;
            }
            act(window);
        };
        handler.waiting.start();
        state_->handlers.push_back(std::move(handler));
    }

    const std::vector<Message>& messages() const { return state_->messages; }

private:
    struct Handler {
        std::function<void(QWidget*)> act;
        QElapsedTimer waiting;
    };
    struct State {
        bool alive = true;
        std::deque<Handler> handlers;
        std::vector<Message> messages;
        std::vector<QPointer<QWidget>> handled;
        QPointer<QWidget> current;  // the active modal window at the last look
        QElapsedTimer currentFor;
    };

    static void close(QWidget* modal) {
        if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->reject();
        } else {
            modal->close();
        }
    }

    // Each look is a fresh single-shot timer: a repeating timer would not fire
    // again inside the nested event loop of a dialog its own handler opened.
    static void schedule(const std::shared_ptr<State>& state) {
        QTimer::singleShot(kPollMs, [state] {
            if (!state->alive) return;
            schedule(state);
            look(*state);
        });
    }

    static void look(State& state) {
        if (!state.handlers.empty() && state.handlers.front().waiting.elapsed() > kLimitMs) {
            ADD_FAILURE() << "no modal window came";
            state.handlers.pop_front();
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible()) {
            state.current = nullptr;
            return;
        }
        if (modal != state.current) {
            state.current = modal;
            state.currentFor.start();
        } else if (state.currentFor.elapsed() > kLimitMs) {
            ADD_FAILURE() << "a modal window stayed open: " << modal->windowTitle().toStdString();
            state.current = nullptr;
            close(modal);
            return;
        }
        for (const QPointer<QWidget>& seen : state.handled) {
            if (seen == modal) return;  // its handler is at work
        }
        if (!state.handlers.empty()) {
            state.handled.emplace_back(modal);
            const Handler handler = std::move(state.handlers.front());
            state.handlers.pop_front();
            handler.act(modal);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            state.messages.push_back(
                {box->windowTitle(), box->text(), box->icon(), box->windowFlags()});
            if (QPushButton* button = box->defaultButton()) {
                button->click();
            } else {
                box->done(0);
            }
        }
    }

    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// A tab page over a state of its own, made afresh as choosing its tab does.
template <typename Page>
class PageTest : public ::testing::Test {
protected:
    void SetUp() override { open(); }

    void open() {
        page.reset();
        page = std::make_unique<Page>(*shared, nullptr);
        page->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(page.get()));
    }

    QString text(int id) const { return ui::control<QLabel>(page.get(), id)->text(); }

    std::unique_ptr<SharedState> shared = std::make_unique<SharedState>();
    std::unique_ptr<Page> page;
    ModalDriver modals;
};

// A stretched check box ignores clicks outside its indicator.
inline void clickIndicator(QCheckBox* box) {
    ASSERT_NE(box, nullptr);
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect indicator =
        box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

inline void clickRow(QListWidget* list, int row, Qt::KeyboardModifiers modifiers = {}) {
    ASSERT_NE(list, nullptr);
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, rect.center());
}

inline QStringList lines(const QListWidget* list) {
    QStringList out;
    for (int row = 0; row < list->count(); ++row) out << list->item(row)->text();
    return out;
}

inline QStringList lines(const QComboBox* combo) {
    QStringList out;
    for (int row = 0; row < combo->count(); ++row) out << combo->itemText(row);
    return out;
}

// Types the text key by key; characters without a key of their own come as
// key events that carry just the text, as an input method would send them.
inline void typeInto(QLineEdit* edit, const QString& text) {
    edit->clear();
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f) {
            QTest::keyClick(edit, char(c.unicode()));
        } else {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(edit, &press);
        }
    }
}

// Where the thumb of a vertical value slider is drawn now.
inline QRect thumbRect(QSlider* slider) {
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.subControls = QStyle::SC_None;
    option.activeSubControls = QStyle::SC_None;
    option.orientation = slider->orientation();
    option.maximum = slider->maximum();
    option.minimum = slider->minimum();
    option.tickPosition = slider->tickPosition();
    option.tickInterval = slider->tickInterval();
    option.upsideDown = slider->orientation() == Qt::Horizontal ? slider->invertedAppearance()
                                                                : !slider->invertedAppearance();
    option.direction = Qt::LeftToRight;
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.singleStep = slider->singleStep();
    option.pageStep = slider->pageStep();
    return slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                           slider);
}

inline void sendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), QPointF(widget->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// The text of the frame that the link thread would send now.
inline std::string nextFrame(SharedState& shared) {
    std::vector<char> buffer(kFrameBufferSize);
    std::size_t length = 0;
    EXPECT_TRUE(
        withData(shared.dataMutex, kDataWait, [&] { length = buildFrame(shared, buffer.data()); }));
    return std::string(buffer.data(), length);
}

inline bool hasLine(const std::string& frame, const std::string& line) {
    return frame.find("\r\n" + line + "\r\n") != std::string::npos;
}

// An item line starting with this code, whatever its value.
inline bool hasItem(const std::string& frame, const std::string& code) {
    return frame.find("\r\n" + code) != std::string::npos;
}

// Holds the data mutex from another thread (a timed mutex is unlocked by the
// thread that locked it), as a link thread stuck in a frame would. Promises,
// not std::binary_semaphore: GCC 12's semaphore loses wake-ups on mingw.
class HeldMutex {
public:
    explicit HeldMutex(DataMutex& mutex)
        : thread_([this, &mutex] {
              std::lock_guard lock(mutex);
              locked_.set_value();
              released_.wait();
          }) {
        isLocked_.wait();
    }
    ~HeldMutex() {
        release_.set_value();
        thread_.join();
    }

private:
    std::promise<void> locked_;
    std::promise<void> release_;
    std::future<void> isLocked_ = locked_.get_future();
    std::future<void> released_ = release_.get_future();
    std::thread thread_;
};

// A tab page is 302 x 134 dialog units, in its own font's units.
inline void expectTabPageSize(const QWidget* page) {
    EXPECT_EQ(page->size(), ui::toPixels(ui::baseUnitsOf(page), 0, 0, 302, 134).size());
}

// How much room a label needs: its size hint (glyph overhang, frame and
// margins included), or just its text's advance, for display fields that
// keep the classic program's tight boxes.
enum class LabelRoom { SizeHint, TextAdvance };

// Every visible control of a laid-out dialog or page lies inside it and is
// wide enough for its text.
inline void expectTextsFit(const QWidget* dialog, LabelRoom labels = LabelRoom::SizeHint) {
    // Room a push button needs around its text, px: frame and focus rectangle.
    constexpr int kButtonTextMargin = 6;
    const QRect inside(QPoint(0, 0), dialog->size());
    for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (!child->isVisibleTo(dialog)) continue;
        const QFontMetrics metrics(child->font());
        QString text;
        int needed = 0;
        if (auto* box = qobject_cast<const QCheckBox*>(child)) {
            // The text starts where the style puts the box's contents.
            QStyleOptionButton option;
            option.initFrom(box);
            option.text = box->text();
            const QRect contents =
                box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
            text = box->text();
            needed = contents.left() + metrics.horizontalAdvance(text);
        } else if (auto* button = qobject_cast<const QPushButton*>(child)) {
            text = button->text();
            needed = metrics.horizontalAdvance(text) + kButtonTextMargin;
        } else if (auto* label = qobject_cast<const QLabel*>(child)) {
            text = label->text();
            needed = labels == LabelRoom::SizeHint ? label->sizeHint().width()
                                                   : metrics.horizontalAdvance(text);
        } else if (auto* group = qobject_cast<const QGroupBox*>(child)) {
            text = group->title();
            needed = metrics.horizontalAdvance(text);
        } else if (auto* list = qobject_cast<const QListWidget*>(child);
                   list && list->isVisible()) {
            // Each tab-separated field within its column, whatever the scroll bar leaves.
            for (int row = 0; row < list->count(); ++row) {
                const QStringList fields = list->item(row)->text().split('\t');
                const std::vector<int> edges = ui::tabStopColumns(list, int(fields.size()));
                for (int k = 0; k < fields.size(); ++k)
                    EXPECT_LE(metrics.horizontalAdvance(fields[k]), edges[k + 1] - edges[k])
                        << fields[k].toStdString();
            }
        }
        SCOPED_TRACE(text.toStdString() + " " + child->objectName().toStdString());
        EXPECT_TRUE(inside.contains(child->geometry()));
        EXPECT_LE(needed, child->width());
    }
}

}  // namespace korvane::testing
