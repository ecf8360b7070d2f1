#include "shell/setup_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <vector>

#include "gui_support.h"
#include "resources/control_ids.h"
#include "resources/dialog_builder.h"
#include "resources/ip_address_edit.h"

namespace korvane {
namespace {

namespace id = ids::setup;

constexpr int32_t kUntouched = -7;

// One opening of the dialog, shown as File, Setup... shows it.
class Opened {
public:
    explicit Opened(SharedState& shared) : dialog(shared, &medium) { dialog.show(); }

    template <typename T>
    T* get(int id) {
        return ui::control<T>(&dialog, id);
    }
    void type(int id, const QString& text) { get<QLineEdit>(id)->setText(text); }
    void click(int id) { QTest::mouseClick(get<QAbstractButton>(id), Qt::LeftButton); }
    // OK through its button; returns the warnings shown.
    std::vector<testing::Message> pressOk() {
        testing::ModalDriver modals;
        QTest::mouseClick(ui::control<QPushButton>(&dialog, ids::kOk), Qt::LeftButton);
        return modals.messages();
    }
    bool acceptedAndClosed() const {
        return dialog.result() == QDialog::Accepted && !dialog.isVisible();
    }

    int32_t medium = kUntouched;
    SetupDialog dialog;
};

TEST(SetupDialogTest, NotConnectedOpensOnRs232AndOkStartsRs232) {
    SharedState shared;
    shared.link.medium = kMediumNone;
    Opened setup(shared);
    EXPECT_TRUE(setup.get<QRadioButton>(id::kRs232Radio)->isChecked());
    EXPECT_FALSE(setup.get<QRadioButton>(id::kUdpRadio)->isChecked());
    EXPECT_FALSE(setup.get<ui::IpAddressEdit>(id::kIpAddressField)->isEnabled());
    EXPECT_TRUE(setup.get<QLineEdit>(id::kComPortEdit)->isEnabled());
    EXPECT_TRUE(setup.get<QComboBox>(id::kBaudCombo)->isEnabled()) << "the rate matters to RS-232";
    EXPECT_TRUE(setup.get<QRadioButton>(id::kStreamingRadio)->isChecked());
    EXPECT_EQ(setup.get<QLineEdit>(id::kIntervalEdit)->text(), QStringLiteral("3.0"));
    EXPECT_EQ(setup.get<QLineEdit>(id::kComPortEdit)->text(), QStringLiteral("1"));
    EXPECT_EQ(setup.get<ui::IpAddressEdit>(id::kIpAddressField)->octets(),
              (std::array<int, 4>{192, 168, 1, 100}));
    QComboBox* baud = setup.get<QComboBox>(id::kBaudCombo);
    ASSERT_EQ(baud->count(), 6);
    EXPECT_EQ(baud->itemText(0), QStringLiteral("4800"));
    EXPECT_EQ(baud->itemText(5), QStringLiteral("115200"));
    EXPECT_EQ(baud->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(setup.dialog.windowTitle(), QStringLiteral("Simulator Setup"));

    EXPECT_TRUE(setup.pressOk().empty());
    EXPECT_TRUE(setup.acceptedAndClosed());
    EXPECT_EQ(setup.medium, kMediumRs232);
}

// A typed interval or port is stored, or refused with a warning while the
// dialog stays open and the settings keep their old values (3.0 s, COM4).
TEST(SetupDialogTest, IntervalAndComPortTexts) {
    const char* const badInterval = "Invalid Transmit Interval!";
    const char* const badPort = "Invalid Com Port!";
    struct Case {
        const char* legend;
        int edit;
        const char* text;
        float interval;  // stored afterwards
        int32_t comPort;
        const char* warning;  // nullptr: accepted
    };
    const int interval = id::kIntervalEdit;
    const int port = id::kComPortEdit;
    const Case cases[] = {
        {"interval below the floor is raised to it", interval, "0.2", 0.5f, 4, nullptr},
        {"interval with blanks before and a unit after", interval, "  7.5 sec", 7.5f, 4, nullptr},
        {"plain interval", interval, "12", 12.0f, 4, nullptr},
        {"no upper limit to the interval", interval, "86400", 86400.0f, 4, nullptr},
        {"empty interval", interval, "", 3.0f, 4, badInterval},
        {"interval not a number", interval, "abc", 3.0f, 4, badInterval},
        {"nan reads as a number but is no interval", interval, "nan", 3.0f, 4, badInterval},
        {"nor is infinity", interval, "inf", 3.0f, 4, badInterval},
        {"port zero", port, "0", 3.0f, 4, badPort},
        {"port above 99", port, "100", 3.0f, 4, badPort},
        {"empty port", port, "", 3.0f, 4, badPort},
        {"port in letters", port, "COM3", 3.0f, 4, badPort},
        {"negative port", port, "-4", 3.0f, 4, badPort},
        {"lowest port", port, "1", 3.0f, 1, nullptr},
        {"highest port", port, "99", 3.0f, 99, nullptr},
        {"letters after the port number", port, "12abc", 3.0f, 12, nullptr},
        {"blanks around the port", port, "  5  ", 3.0f, 5, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        SharedState shared;
        shared.link.transmitInterval = 3.0f;
        shared.link.comPort = 4;
        Opened setup(shared);
        setup.type(c.edit, QString::fromLatin1(c.text));
        const auto warnings = setup.pressOk();
        EXPECT_FLOAT_EQ(shared.link.transmitInterval, c.interval);
        EXPECT_EQ(shared.link.comPort, c.comPort);
        if (c.warning == nullptr) {
            EXPECT_TRUE(warnings.empty());
            EXPECT_TRUE(setup.acceptedAndClosed());
            EXPECT_EQ(setup.medium, kMediumRs232);
        } else {
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_EQ(warnings[0].text, QString::fromLatin1(c.warning));
            EXPECT_EQ(warnings[0].title, QStringLiteral("Korvane"));
            EXPECT_EQ(warnings[0].icon, QMessageBox::Warning);
            EXPECT_TRUE(setup.dialog.isVisible()) << "the dialog stays open";
            EXPECT_EQ(setup.medium, kUntouched);
        }
    }
}

TEST(SetupDialogTest, RaisedIntervalShowsNextTime) {
    SharedState shared;
    {
        Opened setup(shared);
        setup.type(id::kIntervalEdit, QStringLiteral("0.2"));
        setup.pressOk();
    }
    Opened again(shared);
    EXPECT_EQ(again.get<QLineEdit>(id::kIntervalEdit)->text(), QStringLiteral("0.5"));
}

TEST(SetupDialogTest, ValidValuesStayStoredWhenALaterOneIsRefused) {
    SharedState shared;
    Opened setup(shared);
    setup.type(id::kComPortEdit, QStringLiteral("8"));
    setup.type(id::kIntervalEdit, QStringLiteral("soon"));
    ASSERT_EQ(setup.pressOk().size(), 1u);
    EXPECT_EQ(shared.link.comPort, 8) << "the port was checked and stored first";
    setup.dialog.reject();
    EXPECT_EQ(shared.link.comPort, 8) << "Cancel does not undo it";
}

TEST(SetupDialogTest, UdpStoresTheAddressAndIgnoresTheComField) {
    SharedState shared;
    shared.link.medium = kMediumUdp;
    shared.link.comPort = 3;
    Opened setup(shared);
    EXPECT_TRUE(setup.get<QRadioButton>(id::kUdpRadio)->isChecked());
    EXPECT_FALSE(setup.get<QLineEdit>(id::kComPortEdit)->isEnabled());
    EXPECT_TRUE(setup.get<ui::IpAddressEdit>(id::kIpAddressField)->isEnabled());
    EXPECT_FALSE(setup.get<QComboBox>(id::kBaudCombo)->isEnabled());

    setup.type(id::kComPortEdit, QStringLiteral("not a port"));
    setup.get<ui::IpAddressEdit>(id::kIpAddressField)->setOctets({10, 0, 0, 7});
    EXPECT_TRUE(setup.pressOk().empty());
    EXPECT_TRUE(setup.acceptedAndClosed());
    EXPECT_EQ(setup.medium, kMediumUdp);
    EXPECT_EQ(shared.link.comPort, 3);
    EXPECT_EQ(shared.link.ipAddress[0], 10);
    EXPECT_EQ(shared.link.ipAddress[3], 7);
}

TEST(SetupDialogTest, AnOctetAbove255BecomesTheHighest) {
    SharedState shared;
    shared.link.medium = kMediumUdp;
    Opened setup(shared);
    auto* address = setup.get<ui::IpAddressEdit>(id::kIpAddressField);
    address->setOctets({10, 0, 0, 7});
    QLineEdit* last = address->findChild<QLineEdit*>(QStringLiteral("octet4"));
    ASSERT_NE(last, nullptr);
    last->selectAll();
    QTest::keyClicks(last, QStringLiteral("300"));
    EXPECT_EQ(address->octets()[3], 255) << "never a silent 0";
    EXPECT_TRUE(setup.pressOk().empty());
    EXPECT_EQ(shared.link.ipAddress[3], 255);
}

TEST(SetupDialogTest, MediumButtonsSwitchFieldsAndKeepTheModeInForce) {
    SharedState shared;
    Opened setup(shared);
    setup.click(id::kInterrogativeRadio);
    EXPECT_EQ(shared.link.interrogated, 1) << "stored the moment it is clicked";
    setup.click(id::kUdpRadio);
    EXPECT_TRUE(setup.get<ui::IpAddressEdit>(id::kIpAddressField)->isEnabled());
    EXPECT_FALSE(setup.get<QLineEdit>(id::kComPortEdit)->isEnabled());
    EXPECT_TRUE(setup.get<QRadioButton>(id::kInterrogativeRadio)->isChecked());
    EXPECT_FALSE(setup.get<QRadioButton>(id::kStreamingRadio)->isChecked());
    EXPECT_TRUE(setup.get<QRadioButton>(id::kUdpRadio)->isChecked());
    EXPECT_FALSE(setup.get<QRadioButton>(id::kRs232Radio)->isChecked()) << "groups are separate";
    setup.click(id::kStreamingRadio);
    EXPECT_EQ(shared.link.interrogated, 0);
    setup.click(id::kRs232Radio);
    EXPECT_TRUE(setup.get<QRadioButton>(id::kStreamingRadio)->isChecked());
    EXPECT_TRUE(setup.get<QLineEdit>(id::kComPortEdit)->isEnabled());
    EXPECT_FALSE(setup.get<ui::IpAddressEdit>(id::kIpAddressField)->isEnabled());
}

TEST(SetupDialogTest, CancelPutsBackAClickedModeAndBaudRate) {
    SharedState shared;
    Opened setup(shared);
    setup.click(id::kInterrogativeRadio);
    QComboBox* baud = setup.get<QComboBox>(id::kBaudCombo);
    baud->setFocus();
    QTest::keyClick(baud, Qt::Key_Down);  // 9600 -> 19200
    EXPECT_EQ(shared.link.baudIndex, 2);
    QTest::mouseClick(ui::control<QPushButton>(&setup.dialog, ids::kCancel), Qt::LeftButton);
    EXPECT_EQ(setup.dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(setup.dialog.isVisible());
    EXPECT_EQ(setup.medium, kUntouched) << "Cancel writes no medium";
    EXPECT_EQ(shared.link.interrogated, 0) << "as at opening";
    EXPECT_EQ(shared.link.baudIndex, 1);
}

// TCP: role, port and listen address or host are stored by OK, or refused
// with a warning while the dialog stays open and the settings keep theirs.
TEST(SetupDialogTest, TcpChoice) {
    const char* const badPort = "Invalid TCP Port!";
    const char* const badHost = "Invalid Host!";
    struct Case {
        const char* legend;
        int role;  // the button clicked
        const char* port;
        const char* host;
        const char* warning;  // nullptr: accepted, and shown again next time
        int32_t storedPort;
        const char* storedHost;
    };
    const int server = id::kTcpServerRadio;
    const int client = id::kTcpClientRadio;
    const Case cases[] = {
        {"server", server, "6000", "", nullptr, 6000, ""},
        {"server ignores the host field", server, "6001", "a b", nullptr, 6001, ""},
        {"client by name, blanks trimmed", client, "7000", " logger.rig-1 ", nullptr, 7000,
         "logger.rig-1"},
        {"client by address", client, "65535", "10.0.0.9", nullptr, 65535, "10.0.0.9"},
        {"port zero", server, "0", "", badPort, 5001, ""},
        {"port above 65535", client, "65536", "x", badPort, 5001, ""},
        {"port in letters", server, "http", "", badPort, 5001, ""},
        {"client without a host", client, "5001", "", badHost, 5001, ""},
        {"blank inside the host", client, "5001", "a b", badHost, 5001, ""},
        {"port in the host field", client, "5001", "logger:5001", badHost, 5001, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        SharedState shared;
        Opened setup(shared);
        setup.click(id::kTcpRadio);
        setup.click(c.role);
        EXPECT_FALSE(setup.get<QLineEdit>(id::kComPortEdit)->isEnabled());
        EXPECT_FALSE(setup.get<ui::IpAddressEdit>(id::kIpAddressField)->isEnabled());
        EXPECT_EQ(setup.get<QLineEdit>(id::kTcpHostEdit)->isEnabled(), c.role == client);
        EXPECT_EQ(setup.get<ui::IpAddressEdit>(id::kTcpListenField)->isEnabled(), c.role == server);
        setup.get<ui::IpAddressEdit>(id::kTcpListenField)->setOctets({127, 0, 0, 1});
        setup.type(id::kTcpPortEdit, QString::fromLatin1(c.port));
        setup.type(id::kTcpHostEdit, QString::fromLatin1(c.host));
        const auto warnings = setup.pressOk();
        EXPECT_EQ(shared.link.tcpPort, c.storedPort);
        EXPECT_EQ(shared.link.tcpHost, c.storedHost);
        if (c.warning != nullptr) {
            ASSERT_EQ(warnings.size(), 1u);
            EXPECT_EQ(warnings[0].text, QString::fromLatin1(c.warning));
            EXPECT_EQ(setup.medium, kUntouched);
            continue;
        }
        EXPECT_TRUE(warnings.empty());
        EXPECT_EQ(setup.medium, kMediumTcp);
        EXPECT_EQ(shared.link.tcpRole, c.role == client ? kTcpClient : kTcpServer);
        EXPECT_EQ(shared.link.tcpListenAddress[0], c.role == server ? 127 : 0);
        shared.link.medium = kMediumTcp;
        Opened again(shared);
        EXPECT_TRUE(again.get<QRadioButton>(id::kTcpRadio)->isChecked());
        EXPECT_TRUE(again.get<QRadioButton>(c.role)->isChecked());
        EXPECT_EQ(again.get<QLineEdit>(id::kTcpPortEdit)->text(), QString::fromLatin1(c.port));
    }
}

// As in a Windows dialog: the arrows choose within a group, round from the
// last button to the first, and Tab lands on the group's choice.
TEST(SetupDialogTest, ArrowsChooseWithinARadioGroupAndTabLandsOnTheChoice) {
    SharedState shared;
    shared.link.medium = kMediumTcp;
    shared.link.interrogated = 1;
    Opened setup(shared);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&setup.dialog));
    const auto press = [](QWidget* from, Qt::Key key) {
        from->setFocus();
        QTest::keyClick(from, key);
        return QApplication::focusWidget();
    };
    EXPECT_EQ(press(setup.get<QLineEdit>(id::kTcpPortEdit), Qt::Key_Tab),
              setup.get<QRadioButton>(id::kInterrogativeRadio));
    auto* udp = setup.get<QRadioButton>(id::kUdpRadio);
    EXPECT_EQ(press(setup.get<QRadioButton>(id::kTcpRadio), Qt::Key_Down), udp);
    EXPECT_TRUE(udp->isChecked() && setup.get<ui::IpAddressEdit>(id::kIpAddressField)->isEnabled())
        << "chosen as by a click";
    EXPECT_EQ(press(udp, Qt::Key_Up), setup.get<QRadioButton>(id::kTcpRadio));
}

TEST(SetupDialogTest, ModeClickIsLostWhileTheMutexIsHeld) {
    SharedState shared;
    Opened setup(shared);
    {
        testing::HeldMutex busy(shared.dataMutex);
        setup.click(id::kInterrogativeRadio);  // waits 500 ms, then gives up
    }
    EXPECT_EQ(shared.link.interrogated, 0);
    EXPECT_TRUE(setup.get<QRadioButton>(id::kInterrogativeRadio)->isChecked())
        << "the button keeps showing the operator's choice";
}

}  // namespace
}  // namespace korvane
