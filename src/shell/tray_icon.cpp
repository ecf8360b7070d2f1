#include "shell/tray_icon.h"

#include <QSystemTrayIcon>
#include <QTimer>

#include "resources/icons/rig_icon.h"
#include "resources/strings.h"

namespace korvane {

namespace {

// How often the tray is looked for, ms: a window left hidden when it went comes
// back within this time.
constexpr int kTrayLookMs = 2000;

}  // namespace

SystemTrayIcon::SystemTrayIcon() : icon_(std::make_unique<QSystemTrayIcon>()) {
    icon_->setIcon(ui::rigIcon());
    icon_->setToolTip(QString::fromLatin1(ui::kTrayTip));
    connect(icon_.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // Trigger is the primary (left) click; the rest are ignored.
                if (reason == QSystemTrayIcon::Trigger && onLeftClick) onLeftClick();
            });
    // Qt tells nobody when the tray comes or goes, so it is looked for.
    available_ = available();
    auto* look = new QTimer(this);
    look->setInterval(kTrayLookMs);
    connect(look, &QTimer::timeout, this, [this] {
        if (available() == available_) return;
        available_ = !available_;
        // A tray that restarts knows none of the icons of its last run.
        if (available_ && icon_->isVisible()) {
            icon_->hide();
            icon_->show();
        }
        if (onAvailabilityChange) onAvailabilityChange();
    });
    look->start();
}

SystemTrayIcon::~SystemTrayIcon() = default;

bool SystemTrayIcon::available() const { return QSystemTrayIcon::isSystemTrayAvailable(); }

void SystemTrayIcon::show() { icon_->show(); }

void SystemTrayIcon::remove() { icon_->hide(); }

}  // namespace korvane
