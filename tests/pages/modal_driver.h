#pragma once

// Helpers for GUI tests of pages that open modal dialogs and message boxes.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSlider>
#include <QStyleOptionButton>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "simulation/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane::testing {

// How long a test waits for a modal window to appear before it gives up.
inline constexpr int kModalWaitMs = 5000;
// Polling period while waiting for it.
inline constexpr int kModalPollMs = 10;

// Runs act on the next modal window other than `current`, once it is up. The
// caller then triggers whatever opens it; if it never opens, the test fails,
// unless the returned flag is set first (for windows that may not come).
inline std::shared_ptr<bool> onNextModal(std::function<void(QWidget*)> act,
                                         QWidget* current = nullptr) {
    auto stop = std::make_shared<bool>(false);
    auto deadline = std::make_shared<QDeadlineTimer>(kModalWaitMs);
    // The pending timer owns the poll; the poll only knows itself weakly.
    auto poll = std::make_shared<std::function<void()>>();
    std::weak_ptr<std::function<void()>> self = poll;
    *poll = [act, current, deadline, stop, self] {
        if (*stop) return;
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && modal != current && modal->isVisible()) {
            act(modal);
            return;
        }
        if (deadline->hasExpired()) {
            ADD_FAILURE() << "no modal window appeared";
            return;
        }
        if (auto again = self.lock()) QTimer::singleShot(kModalPollMs, [again] { (*again)(); });
    };
    QTimer::singleShot(0, [poll] { (*poll)(); });
    return stop;
}

// Closes whatever is still modal after a while, so a failing test cannot hang.
class ModalWatchdog {
public:
    explicit ModalWatchdog(int ms = 3 * kModalWaitMs) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, [] {
            while (QWidget* modal = QApplication::activeModalWidget()) {
                ADD_FAILURE() << "modal window left open: " << modal->windowTitle().toStdString();
                if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                    dialog->reject();
                } else {
                    modal->close();
                }
                QApplication::processEvents();
            }
        });
        timer_.start(ms);
    }

private:
    QTimer timer_;
};

// What a message box showed.
struct Message {
    std::string caption;
    std::string text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Expects the next modal window to be a message box; records it and presses OK.
inline void answerMessage(Message& seen, QWidget* current) {
    onNextModal(
        [&seen](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr) << "expected a message box";
            seen = {box->windowTitle().toStdString(), box->text().toStdString(), box->icon()};
            box->button(QMessageBox::Ok)->click();
        },
        current);
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

// A check box takes clicks only on its indicator when it is wider than its text.
inline void clickIndicator(QCheckBox* box) {
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect indicator =
        box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
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

// Holds the data mutex from another thread (as a busy link thread would) until
// it goes out of scope; the owning thread must not try to lock it itself.
class MutexHolder {
public:
    explicit MutexHolder(DataMutex& mutex) {
        std::promise<void> locked;
        auto ready = locked.get_future();
        thread_ = std::thread([&mutex, &locked, this] {
            std::lock_guard lock(mutex);
            locked.set_value();
            release_.get_future().wait();
        });
        ready.wait();
    }
    ~MutexHolder() {
        release_.set_value();
        thread_.join();
    }

private:
    std::promise<void> release_;
    std::thread thread_;
};

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

}  // namespace korvane::testing
