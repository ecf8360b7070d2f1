#pragma once

// Helpers for driving the Options page and its dialogs in tests: a temporary
// working directory, check box clicks on the indicator, modal dialogs driven
// from the event loop, and the frame the link thread would send next.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QListWidget>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <semaphore>
#include <string>
#include <thread>
#include <vector>

#include "simulation/shared_state.h"
#include "wits/frame_builder.h"

namespace korvane::test {

// A fresh directory that is the working directory while the object lives.
class TempWorkingDir {
public:
    TempWorkingDir() {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("korvane-options-" + std::to_string(seed()) + std::to_string(seed()));
        std::filesystem::create_directories(path_);
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TempWorkingDir() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
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

inline void clickRow(QListWidget* list, int row) {
    ASSERT_NE(list, nullptr);
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, rect.center());
}

inline std::vector<QString> lines(const QListWidget* list) {
    std::vector<QString> out;
    for (int row = 0; row < list->count(); ++row) out.push_back(list->item(row)->text());
    return out;
}

// Runs `drive` on the first modal widget of type T to come up, from the event
// loop, so that a test can work a dialog that exec() is blocking on. Gives up
// after `limit`, rejecting whatever modal widgets are up, so no test hangs.
template <typename T>
void whenModal(std::function<void(T*)> drive, int limitMs = 5000) {
    auto* timer = new QTimer;
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, drive, limitMs] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            delete clock;
            drive(widget);
            return;
        }
        if (clock->elapsed() < limitMs) return;
        ADD_FAILURE() << "no modal " << T::staticMetaObject.className() << " came up";
        timer->stop();
        timer->deleteLater();
        delete clock;
        while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            modal->reject();
        }
    });
    timer->start(10);
}

// The text the link thread would send next.
inline std::string nextFrame(SharedState& shared) {
    std::vector<char> buffer(kFrameBufferSize);
    std::lock_guard lock(shared.dataMutex);
    return std::string(buffer.data(), buildFrame(shared, buffer.data()));
}

inline bool hasLine(const std::string& frame, const std::string& line) {
    return frame.find("\r\n" + line + "\r\n") != std::string::npos;
}

// An item line starting with this code, whatever its value.
inline bool hasItem(const std::string& frame, const std::string& code) {
    return frame.find("\r\n" + code) != std::string::npos;
}

// Holds the data mutex from another thread (a timed mutex is unlocked by the
// thread that locked it), as a link thread stuck in a frame would.
class HeldMutex {
public:
    explicit HeldMutex(DataMutex& mutex)
        : thread_([this, &mutex] {
              std::lock_guard lock(mutex);
              locked_.release();
              release_.acquire();
          }) {
        locked_.acquire();
    }
    ~HeldMutex() {
        release_.release();
        thread_.join();
    }

private:
    std::binary_semaphore locked_{0};
    std::binary_semaphore release_{0};
    std::thread thread_;
};

}  // namespace korvane::test
