#include "AppFixture.h"

#include "common/FakePortSource.h"
#include "common/gui/PortListPicture.h"
#include "panel/app/frmProperties.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <iostream>

using namespace guitest;
using common::Ms;

namespace {

class PropertiesTest : public AppFixture {
protected:
    void open()
    {
        dlg = std::make_unique<frmProperties>(*win, win.get(), &ports);
        dlg->show();
    }
    template <class T> T* ctl(const char* name) const
    {
        T* w = dlg->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    void tab(int i) { ctl<QTabBar>("tabSettings")->setCurrentIndex(i); }
    void type(const char* box, const QString& text)
    {
        auto* e = ctl<QLineEdit>(box);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }
    void TearDown() override
    {
        dlg.reset();
        AppFixture::TearDown();
    }
    std::unique_ptr<frmProperties> dlg;
    testsupport::FakePortSource ports; // no ports unless a test lists some
};

struct ProfileView {
    int tab;
    bool enabled;
    const char* caption;
    const char* port;
    bool serial;
    const char* address;
    const char* tcpPort;
};

} // namespace

TEST_F(PropertiesTest, FreshStoreShowsTheDefaultsOfAllFourProfiles)
{
    start();
    open();
    EXPECT_EQ(dlg->windowTitle(), "CommPort Properties");
    EXPECT_EQ(ctl<QComboBox>("cboParity")->currentText(), "None");
    EXPECT_EQ(ctl<QComboBox>("cboDataBits")->currentText(), "8");
    EXPECT_EQ(ctl<QComboBox>("cboStopBits")->currentText(), "1");
    EXPECT_TRUE(ctl<QRadioButton>("optFlow_0")->isChecked());
    EXPECT_EQ(ctl<QComboBox>("cboPort")->count(), 20);
    EXPECT_EQ(ctl<QComboBox>("cboPort")->itemText(19), "Com20");
    const ProfileView views[] = {
        {0, true, "Antenna 1", "Com1", true, "192.168.0.195", "2000"},
        {1, false, "Antenna 2", "Com2", false, "192.168.0.196", "2001"},
        {2, false, "Antenna 3", "Com3", false, "192.168.0.197", "2000"},
        {3, false, "Antenna 4", "Com4", false, "192.168.0.198", "2001"},
    };
    for (const auto& v : views) {
        SCOPED_TRACE(v.tab);
        tab(v.tab);
        EXPECT_EQ(ctl<QCheckBox>("Check1")->isChecked(), v.enabled);
        EXPECT_EQ(ctl<QLineEdit>("txtCaption")->text(), v.caption);
        EXPECT_EQ(ctl<QComboBox>("cboPort")->currentText(), v.port);
        EXPECT_EQ(ctl<QComboBox>("cboSpeed")->currentText(), "9600");
        EXPECT_EQ(ctl<QRadioButton>("optSerial")->isChecked(), v.serial);
        EXPECT_EQ(ctl<QRadioButton>("optTCPIP")->isChecked(), !v.serial);
        EXPECT_EQ(ctl<QGroupBox>("fraTCPIP")->isVisibleTo(dlg.get()), !v.serial);
        EXPECT_EQ(ctl<QLineEdit>("txtAddress")->text(), v.address);
        EXPECT_EQ(ctl<QLineEdit>("txtPort")->text(), v.tcpPort);
    }
}

TEST_F(PropertiesTest, PortTextThatIsNoSixteenBitNumberLeavesThePortUnchanged)
{
    start();
    open();
    tab(1);
    const struct {
        const char* text;
        short expect;
    } cases[] = {{"2100", 2100}, {"40000", 2100}, {"abc", 2100}, {"32767", 32767}, {"32768", 32767}};
    auto* box = ctl<QLineEdit>("txtPort");
    for (const auto& c : cases) {
        // Typed key by key, then the box is left: shorter numbers typed on the way do not stick.
        type("txtPort", c.text);
        Q_EMIT box->editingFinished();
        EXPECT_EQ(win->shared().profiles[2].port, c.expect) << c.text;
    }
}

TEST_F(PropertiesTest, SpeedChoiceStoresTheFixedDataFormat)
{
    start();
    open();
    ctl<QComboBox>("cboParity")->setCurrentText("Even");
    ctl<QComboBox>("cboDataBits")->setCurrentText("7");
    auto* speed = ctl<QComboBox>("cboSpeed");
    speed->setCurrentText("19200");
    Q_EMIT speed->activated(speed->currentIndex());
    EXPECT_EQ(win->shared().profiles[1].settings, "19200,N,8,1");
    auto* port = ctl<QComboBox>("cboPort");
    port->setCurrentIndex(4);
    Q_EMIT port->activated(4);
    EXPECT_EQ(win->shared().profiles[1].commPort, 5);
}

TEST_F(PropertiesTest, CancelKeepsAnEditedCaptionAndEnabledStateOnTheMainWindow)
{
    start();
    open();
    type("txtCaption", "Bow Dome");
    EXPECT_EQ(win->findChild<QRadioButton*>("optAntenna_0")->text(), "Bow Dome");
    tab(2);
    ctl<QCheckBox>("Check1")->click();
    EXPECT_TRUE(win->findChild<QRadioButton*>("optAntenna_2")->isEnabled());
    ctl<QPushButton>("cmdCancel")->click();
    EXPECT_EQ(win->findChild<QRadioButton*>("optAntenna_0")->text(), "Bow Dome");
    EXPECT_TRUE(win->findChild<QRadioButton*>("optAntenna_2")->isEnabled());
    EXPECT_EQ(stored("Caption1"), "<absent>");
    EXPECT_EQ(stored("Enabled3"), "<absent>");
    // Reopening shows the edit, and a later OK stores it.
    open();
    EXPECT_EQ(ctl<QLineEdit>("txtCaption")->text(), "Bow Dome");
    ctl<QPushButton>("cmdOK")->click();
    EXPECT_EQ(stored("Caption1"), "Bow Dome");
    EXPECT_EQ(stored("Enabled3"), "True");
}

TEST_F(PropertiesTest, OkSavesEveryProfileAndReopensTheLinkAfterASecond)
{
    start();
    open();
    tab(3);
    type("txtAddress", "127.0.0.9");
    journal.events.clear();
    const Ms before = clock.now();
    ctl<QPushButton>("cmdOK")->click();
    EXPECT_EQ(journal.events, (std::vector<std::string>{"close", "open"}));
    EXPECT_GE(clock.now() - before, Ms{1000});
    EXPECT_EQ(stored("Address4"), "127.0.0.9");
    const char* keys[] = {"Caption", "Enabled", "Settings", "CommPort", "Address", "Port", "Serial"};
    for (const char* k : keys)
        for (int n = 1; n <= 4; ++n)
            EXPECT_NE(stored(k + std::to_string(n)), "<absent>") << k << n;
    EXPECT_EQ(stored("Serial1"), "True");
    EXPECT_EQ(stored("Serial2"), "False");
    EXPECT_EQ(stored("Port4"), "2001");
    EXPECT_EQ(statusPanel(2), "Status: Port Open");
}

TEST_F(PropertiesTest, SwitchingTheOpenActiveProfileToTcpClosesTheLink)
{
    start();
    open();
    ctl<QRadioButton>("optTCPIP")->click();
    EXPECT_TRUE(ctl<QGroupBox>("fraTCPIP")->isVisibleTo(dlg.get()));
    EXPECT_FALSE(win->shared().profiles[1].serial);
    EXPECT_FALSE(win->shared().open);
    EXPECT_EQ(statusPanel(2), "Status: Port Closed");
    // Another tab's kind changes without touching the link.
    dlg.reset();
    start();
    open();
    tab(1);
    ctl<QRadioButton>("optSerial")->click();
    EXPECT_TRUE(win->shared().profiles[2].serial);
    EXPECT_TRUE(win->shared().open);
}

TEST_F(PropertiesTest, ThePortListShowsEachPortAsTheSystemDescribesItListedAtEachOpening)
{
    ports.list = testsupport::twoAdaptersAndABuiltInPort();
    start();
    open();
    EXPECT_EQ(ports.asked, 1);
    auto* list = ctl<QComboBox>("cboPort");
    ASSERT_EQ(list->count(), 20);
    EXPECT_EQ(list->itemText(0), "Com1  /dev/ttyUSB0  FT232R USB UART (A10K3Z)");
    EXPECT_EQ(list->itemText(1), "Com2  /dev/ttyUSB1  CP2102 USB to UART Bridge Controller (0001)");
    EXPECT_EQ(list->itemText(2), "Com3  /dev/ttyS0");
    EXPECT_EQ(list->itemText(3), "Com4");
    EXPECT_EQ(list->itemText(19), "Com20");
    EXPECT_NE(list->itemData(0, Qt::ToolTipRole).toString().indexOf("usb-Acme_FT232R_USB_UART_A10K3Z"), -1);
    EXPECT_EQ(list->currentIndex(), 0);

    const auto picture = testsupport::portListPicture(dlg.get(), list, "velmar-comm-port-properties.png");
    EXPECT_TRUE(picture.popupShown);
    EXPECT_FALSE(picture.image.isNull());
    if (!picture.savedTo.isEmpty())
        std::cerr << "picture: " << picture.savedTo.toStdString() << "\n";

    // The Acme adapter unplugged: the next opening lists the machine as it is then.
    ports.list.pop_back();
    dlg.reset();
    open();
    EXPECT_EQ(ports.asked, 2);
    EXPECT_EQ(ctl<QComboBox>("cboPort")->itemText(0), "Com1  /dev/ttyUSB1  CP2102 USB to UART Bridge Controller (0001)");
    EXPECT_EQ(ctl<QComboBox>("cboPort")->itemText(1), "Com2  /dev/ttyS0");
}

TEST_F(PropertiesTest, AUsbAdapterChosenAndConfirmedIsPinnedByItsStableName)
{
    const std::string cp2102 = testsupport::twoAdaptersAndABuiltInPort()[1].byIdPath;
    const struct {
        const char* what;
        int tab;
        int entry; // list index chosen
        bool ok;
        const char* key;    // [Devices] key looked at
        std::string pinned; // its value afterwards, "" for none
    } rows[] = {
        {"USB adapter, OK", 0, 1, true, "Com2", cp2102},
        {"USB adapter on another tab, OK", 2, 1, true, "Com2", cp2102},
        {"USB adapter, Cancel", 0, 1, false, "Com2", ""},
        {"built-in port, OK", 0, 2, true, "Com3", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        std::filesystem::remove(storePath);
        ports.list = testsupport::twoAdaptersAndABuiltInPort();
        start();
        open();
        tab(r.tab);
        auto* list = ctl<QComboBox>("cboPort");
        list->setCurrentIndex(r.entry);
        Q_EMIT list->activated(r.entry);
        ctl<QPushButton>(r.ok ? "cmdOK" : "cmdCancel")->click();
        const auto back = common::SettingsStore::atPath("multTAVRemote", storePath);
        EXPECT_EQ(back.get("Devices", r.key, ""), r.pinned);
        // The port number stored stays the number.
        EXPECT_EQ(stored("CommPort" + std::to_string(r.tab + 1)), r.ok ? std::to_string(r.entry + 1) : "<absent>");
        if (!r.pinned.empty() && r.tab == 0) {
            // The active profile's link was opened again on the pinned device, and says so.
            EXPECT_EQ(statusPanel(1).toStdString(), "Settings: Com2: 9600,N,8,1  (" + cp2102 + ")");
            // Reopened, the list shows the entry as pinned; the other numbers are as before.
            dlg.reset();
            open();
            EXPECT_EQ(ctl<QComboBox>("cboPort")->itemText(1),
                      "Com2  /dev/ttyUSB1  CP2102 USB to UART Bridge Controller (0001), pinned");
            EXPECT_EQ(ctl<QComboBox>("cboPort")->itemText(0), "Com1  /dev/ttyUSB0  FT232R USB UART (A10K3Z)");
        }
        dlg.reset();
    }
}
