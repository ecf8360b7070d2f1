#include "shell/tray_icon.h"

#include <QSystemTrayIcon>

#include "resources/icons/rig_icon.h"
#include "resources/strings.h"

namespace korvane {

SystemTrayIcon::SystemTrayIcon() : icon_(std::make_unique<QSystemTrayIcon>()) {
    icon_->setIcon(ui::rigIcon());
    icon_->setToolTip(QString::fromLatin1(ui::kTrayTip));
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // Trigger is the primary (left) click; the rest are ignored.
                if (reason == QSystemTrayIcon::Trigger && onLeftClick) onLeftClick();
            });
}

SystemTrayIcon::~SystemTrayIcon() = default;

bool SystemTrayIcon::available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void SystemTrayIcon::show() { icon_->show(); }

void SystemTrayIcon::remove() { icon_->hide(); }

}  // namespace korvane
