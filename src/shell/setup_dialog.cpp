#include "shell/setup_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <utility>

#include "pages/dialog_input.h"
#include "platform/ipv4_address.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/dialog_templates.h"
#include "resources/ip_address_edit.h"
#include "resources/strings.h"
#include "state/shared_state.h"
#include "text/number_text.h"

namespace korvane {

namespace {

namespace id = ids::setup;

// Field texts are read up to this many characters, as the classic dialog did.
constexpr int kMaxFieldText = 128;

// Frames go out at most twice a second.
constexpr float kMinimumInterval = 0.5f;

constexpr int kLowestComPort = 1;
constexpr int kHighestComPort = 99;
constexpr int kLowestTcpPort = 1;
constexpr int kHighestTcpPort = 65535;

}  // namespace

SetupDialog::SetupDialog(SharedState& shared, int32_t* medium, QWidget* parent)
    : QDialog(parent), shared_(shared), result_(medium) {
    ui::buildDialog(ui::kSetupDialogTemplate, this);
    setModal(true);
    const LinkSettings& link = shared_.link;
    openingInterrogated_ = link.interrogated;
    openingBaudIndex_ = link.baudIndex;

    // Only this thread writes these fields, so reading them unlocked is safe.
    ui::control<ui::IpAddressEdit>(this, id::kIpAddressField)
        ->setOctets({link.ipAddress[0], link.ipAddress[1], link.ipAddress[2], link.ipAddress[3]});
    ui::control<QLineEdit>(this, id::kIntervalEdit)->setText(oneDecimal(link.transmitInterval));
    ui::control<QLineEdit>(this, id::kComPortEdit)->setText(QString::number(link.comPort));
    ui::control<ui::IpAddressEdit>(this, id::kTcpListenField)
        ->setOctets({link.tcpListenAddress[0], link.tcpListenAddress[1], link.tcpListenAddress[2],
                     link.tcpListenAddress[3]});
    ui::control<QLineEdit>(this, id::kTcpHostEdit)->setText(QString::fromStdString(link.tcpHost));
    ui::control<QLineEdit>(this, id::kTcpPortEdit)->setText(QString::number(link.tcpPort));

    auto* baud = ui::control<QComboBox>(this, id::kBaudCombo);
    for (int32_t rate : kBaudRates) baud->addItem(QString::number(rate));
    baud->setCurrentIndex(link.baudIndex >= 0 && link.baudIndex < kBaudCount ? link.baudIndex : 1);

    // "Not connected" offers RS-232, the classic medium.
    role_ = link.tcpRole == kTcpClient ? kTcpClient : kTcpServer;
    chooseMedium(link.medium == kMediumUdp || link.medium == kMediumTcp ? link.medium
                                                                        : kMediumRs232);

    const std::pair<int, int32_t> media[] = {
        {id::kUdpRadio, kMediumUdp}, {id::kRs232Radio, kMediumRs232}, {id::kTcpRadio, kMediumTcp}};
    for (const auto& [button, medium] : media)
        connect(ui::control<QRadioButton>(this, button), &QRadioButton::clicked, this,
                [this, medium] { chooseMedium(medium); });
    const std::pair<int, int32_t> roles[] = {{id::kTcpServerRadio, kTcpServer},
                                             {id::kTcpClientRadio, kTcpClient}};
    for (const auto& [button, role] : roles)
        connect(ui::control<QRadioButton>(this, button), &QRadioButton::clicked, this,
                [this, role] { chooseRole(role); });
    for (int id : {id::kStreamingRadio, id::kInterrogativeRadio}) {
        connect(ui::control<QRadioButton>(this, id), &QRadioButton::clicked, this,
                [this, id](bool checked) { storeMode(id, checked); });
    }
    connect(baud, &QComboBox::activated, this, &SetupDialog::storeBaud);
    connect(ui::control<QPushButton>(this, ids::kOk), &QPushButton::clicked, this,
            &SetupDialog::accept);
    connect(ui::control<QPushButton>(this, ids::kCancel), &QPushButton::clicked, this,
            &SetupDialog::reject);
}

void SetupDialog::chooseMedium(int32_t medium) {
    medium_ = medium;
    const int button = medium == kMediumUdp   ? id::kUdpRadio
                       : medium == kMediumTcp ? id::kTcpRadio
                                              : id::kRs232Radio;
    ui::control<QRadioButton>(this, button)->setChecked(true);
    enableFields();
    // The mode buttons show the mode in force, which a click has already
    // stored. Checking one clears the other through their group.
    const int mode = shared_.link.interrogated == 0 ? id::kStreamingRadio : id::kInterrogativeRadio;
    ui::control<QRadioButton>(this, mode)->setChecked(true);
}

void SetupDialog::chooseRole(int32_t role) {
    role_ = role;
    enableFields();
}

// Only the fields of the chosen medium (and TCP role) can be edited.
void SetupDialog::enableFields() {
    const bool tcp = medium_ == kMediumTcp;
    const bool serial = medium_ == kMediumRs232;
    ui::control<QLineEdit>(this, id::kComPortEdit)->setEnabled(serial);
    ui::control<ui::IpAddressEdit>(this, id::kIpAddressField)->setEnabled(medium_ == kMediumUdp);
    // The rate matters only to a serial link.
    ui::control<QComboBox>(this, id::kBaudCombo)->setEnabled(serial);
    for (int field : {id::kTcpServerRadio, id::kTcpClientRadio, id::kTcpPortEdit})
        ui::control<QWidget>(this, field)->setEnabled(tcp);
    ui::control<QRadioButton>(this, role_ == kTcpClient ? id::kTcpClientRadio : id::kTcpServerRadio)
        ->setChecked(true);
    ui::control<ui::IpAddressEdit>(this, id::kTcpListenField)
        ->setEnabled(tcp && role_ == kTcpServer);
    ui::control<QLineEdit>(this, id::kTcpHostEdit)->setEnabled(tcp && role_ == kTcpClient);
}

void SetupDialog::storeMode(int id, bool checked) {
    const int32_t interrogated = (id == id::kInterrogativeRadio) == checked ? 1 : 0;
    withData(shared_.dataMutex, kDataWait, [&] { shared_.link.interrogated = interrogated; });
}

void SetupDialog::storeBaud(int index) {
    if (index < 0) return;
    withData(shared_.dataMutex, kDataWait, [&] { shared_.link.baudIndex = index; });
}

bool SetupDialog::storeComPort() {
    const std::optional<int> port = scanInt(
        editText(ui::control<QLineEdit>(this, id::kComPortEdit), kMaxFieldText).toStdString());
    if (!port || *port < kLowestComPort || *port > kHighestComPort) {
        showWarning(this, ui::kInvalidComPort);
        return false;
    }
    // A running link reads its settings under the mutex, so the store takes it
    // too, and waits for it: OK must never be lost.
    withDataAlways(shared_.dataMutex, [&] { shared_.link.comPort = *port; });
    return true;
}

bool SetupDialog::storeInterval() {
    // "nan" and "inf" read as numbers but make no pause between frames, so
    // readNumber refuses them.
    const std::optional<float> interval =
        readNumber(ui::control<QLineEdit>(this, id::kIntervalEdit), kMaxFieldText);
    if (!interval) {
        showWarning(this, ui::kInvalidInterval);
        return false;
    }
    const float seconds = *interval < kMinimumInterval ? kMinimumInterval : *interval;
    withDataAlways(shared_.dataMutex, [&] { shared_.link.transmitInterval = seconds; });
    return true;
}

bool SetupDialog::storeTcp() {
    const std::optional<int> port = scanInt(
        editText(ui::control<QLineEdit>(this, id::kTcpPortEdit), kMaxFieldText).toStdString());
    if (!port || *port < kLowestTcpPort || *port > kHighestTcpPort) {
        showWarning(this, ui::kInvalidTcpPort);
        return false;
    }
    const std::string host =
        ui::control<QLineEdit>(this, id::kTcpHostEdit)->text().trimmed().toStdString();
    if (role_ == kTcpClient && !isHostName(host)) {
        showWarning(this, ui::kInvalidHost);
        return false;
    }
    const auto listenOn = ui::control<ui::IpAddressEdit>(this, id::kTcpListenField)->octets();
    withDataAlways(shared_.dataMutex, [&] {
        LinkSettings& link = shared_.link;
        link.tcpRole = role_;
        link.tcpPort = *port;
        if (role_ == kTcpClient)
            link.tcpHost = host;
        else
            for (int i = 0; i < 4; ++i) link.tcpListenAddress[i] = listenOn[i];
    });
    return true;
}

void SetupDialog::accept() {
    // Each value is stored as soon as it has been checked; one refused later
    // keeps the earlier ones, as the operator will fix only the refused field.
    if (medium_ == kMediumUdp) {
        const auto octets = ui::control<ui::IpAddressEdit>(this, id::kIpAddressField)->octets();
        withDataAlways(shared_.dataMutex, [&] {
            for (int i = 0; i < 4; ++i) shared_.link.ipAddress[i] = octets[i];
        });
    } else if (medium_ == kMediumTcp) {
        if (!storeTcp()) return;
    } else if (!storeComPort()) {
        return;
    }
    if (!storeInterval()) return;
    if (result_ != nullptr) *result_ = medium_;
    QDialog::accept();
}

void SetupDialog::reject() {
    // Cancel cancels: the saved settings then match the running link again.
    // The lock is taken as the clicks take it; a busy link loses the undo as
    // it would lose a click.
    LinkSettings& link = shared_.link;
    if (link.interrogated != openingInterrogated_ || link.baudIndex != openingBaudIndex_) {
        withData(shared_.dataMutex, kDataWait, [&] {
            link.interrogated = openingInterrogated_;
            link.baudIndex = openingBaudIndex_;
        });
    }
    QDialog::reject();
}

}  // namespace korvane
