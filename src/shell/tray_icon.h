#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSystemTrayIcon;

namespace korvane {

// The one tray icon of the program. The main window only shows it, removes it
// and listens for left clicks; tests use a stand-in that records the calls,
// since the offscreen platform has no tray.
class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // Whether the desktop has a tray at all; without one the window must stay
    // reachable some other way.
    virtual bool available() const = 0;
    virtual void show() = 0;
    virtual void remove() = 0;

    // Called on a left click on the icon.
    std::function<void()> onLeftClick;
    // Called when the tray comes or goes (a panel that restarts, or one
    // started after the program); available() then tells which.
    std::function<void()> onAvailabilityChange;
};

// The desktop's tray: tip "Korvane", the rig icon.
class SystemTrayIcon : public QObject, public TrayIcon {
    Q_OBJECT
public:
    SystemTrayIcon();
    ~SystemTrayIcon() override;

    bool available() const override;
    void show() override;
    void remove() override;

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    bool available_ = false;  // at the last look
};

}  // namespace korvane
