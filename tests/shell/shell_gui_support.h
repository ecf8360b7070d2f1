#pragma once

// Stand-ins and helpers for the shell's window tests: a tray that records what
// it was asked (the offscreen platform has none) and a catcher that reads and
// dismisses the message boxes a modal loop would otherwise wait on forever.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <string>
#include <vector>

#include "shell/tray_icon.h"

namespace korvane::testing {

class RecordingTray : public TrayIcon {
public:
    bool available() const override { return hasTray; }
    void show() override { ++shown; }
    void remove() override { ++removed; }
    void click() {
        if (onLeftClick) onLeftClick();
    }

    bool hasTray = true;
    int shown = 0;
    int removed = 0;
};

struct SeenBox {
    QString title;
    QString text;
    QMessageBox::Icon icon;
};

// While it exists, every modal message box is recorded and closed with its
// default button. Anything else still modal after kGiveUpMs is rejected, so a
// test that went wrong fails instead of hanging.
class ModalBoxCatcher {
public:
    static constexpr int kPollMs = 10;
    static constexpr int kGiveUpMs = 5000;

    ModalBoxCatcher() {
        timer_.setInterval(kPollMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

    std::vector<SeenBox> seen;

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            foreignMs_ = 0;
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.push_back({box->windowTitle(), box->text(), box->icon()});
            if (QPushButton* button = box->defaultButton()) {
                button->click();
            } else {
                box->done(0);
            }
            return;
        }
        foreignMs_ += kPollMs;
        if (foreignMs_ >= kGiveUpMs) {
            ADD_FAILURE() << "a modal window stayed open: " << modal->windowTitle().toStdString();
            if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
            foreignMs_ = 0;
        }
    }

    QTimer timer_;
    int foreignMs_ = 0;
};

}  // namespace korvane::testing
