// The terminal's "CommPort Properties" dialog over the live terminal window: the settings
// string cut into its lists, the two echo groups, TCP/IP only on the TAV 8K paths, and OK
// that saves, or stops at a value the serial layer refuses.
#include "KorrinFixture.h"

#include "common/FakePortSource.h"
#include "common/gui/PortListPicture.h"
#include "terminal/app/frmProperties.h"

#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <iostream>

using namespace korrintest;

namespace {

class PropertiesTest : public KorrinFixture {
protected:
    void open()
    {
        dlg = std::make_unique<frmProperties>(*win, [this] { return win->modulePaths().tcpAllowed(); }, win.get(),
                                              &ports);
        dlg->show();
    }
    void TearDown() override
    {
        dlg.reset();
        KorrinFixture::TearDown();
    }
    template <class T> T* ctl(const char* name) const
    {
        T* w = dlg->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString combo(const char* name) const { return ctl<QComboBox>(name)->currentText(); }
    void choose(const char* name, const char* text)
    {
        auto* c = ctl<QComboBox>(name);
        const int i = c->findText(text);
        ASSERT_GE(i, 0) << name << " has no " << text;
        c->setCurrentIndex(i);
    }
    void click(const char* name) { ctl<QAbstractButton>(name)->click(); }
    void type(const char* box, const QString& text)
    {
        auto* e = ctl<QLineEdit>(box);
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
    }
    bool dialogVisible(const char* name) const { return ctl<QWidget>(name)->isVisibleTo(dlg.get()); }
    std::string device(const std::string& key) const
    {
        return common::SettingsStore::atPath("KorrinUniv1", storePath).get("Devices", key, "");
    }
    std::unique_ptr<frmProperties> dlg;
    testsupport::FakePortSource ports; // no ports unless a test lists some
};

TEST_F(PropertiesTest, TheToolbarButtonAndTheMenuEntryOpenTheDialog)
{
    start();
    int opened = 0;
    win->onProperties = [&] { ++opened; };
    tool("Properties")->trigger();
    action("mnuProp")->trigger();
    EXPECT_EQ(opened, 2);
}

TEST_F(PropertiesTest, OpeningCutsTheSettingsStringIntoItsLists)
{
    start();
    const struct {
        const char* settings;
        const char* speed;
        const char* parity;
        const char* dataBits;
        const char* stopBits;
    } rows[] = {
        {"9600,n,8,1.5", "9600", "None", "8", "1.5"},
        {"4800,o,7,2", "4800", "Odd", "7", "2"},
        {"115200,m,6,1", "115200", "Mark", "6", "1"},
        {"1200,s,5,1.5", "1200", "Space", "5", "1.5"},
        {"38400,E,7,1", "38400", "Even", "7", "1"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.settings);
        win->terminal().settings = r.settings;
        open();
        EXPECT_EQ(combo("cboSpeed"), r.speed);
        EXPECT_EQ(combo("cboParity"), r.parity);
        EXPECT_EQ(combo("cboDataBits"), r.dataBits);
        EXPECT_EQ(combo("cboStopBits"), r.stopBits);
        dlg.reset();
    }
}

TEST_F(PropertiesTest, OpeningShowsTheStoredPortFlowEchoAndAddress)
{
    storeBefore({{"CommPort", "3"}, {"Handshaking", "2"}, {"Echo", "True"}, {"Address", "10.1.2.3"},
                 {"PortNumber", "4001"}});
    start();
    open();
    EXPECT_EQ(dlg->windowTitle(), "CommPort Properties");
    EXPECT_EQ(ctl<QTabBar>("tabSettings")->tabText(0), "Properties");
    EXPECT_EQ(ctl<QComboBox>("cboPort")->count(), 16);
    EXPECT_EQ(combo("cboPort"), "Com3");
    EXPECT_TRUE(ctl<QRadioButton>("optFlow_2")->isChecked());
    EXPECT_TRUE(ctl<QRadioButton>("optEcho_1")->isChecked());
    EXPECT_TRUE(ctl<QRadioButton>("optSerial")->isChecked());
    EXPECT_FALSE(dialogVisible("fraTCPIP"));
    EXPECT_EQ(ctl<QLineEdit>("txtAddress")->text(), "10.1.2.3");
    EXPECT_EQ(ctl<QLineEdit>("txtPort")->text(), "4001");
    const QStringList speeds = {"1200", "2400", "4800", "9600", "19200", "38400", "115200"};
    QStringList listed;
    for (int i = 0; i < ctl<QComboBox>("cboSpeed")->count(); ++i)
        listed << ctl<QComboBox>("cboSpeed")->itemText(i);
    EXPECT_EQ(listed, speeds);
}

TEST_F(PropertiesTest, TheTwoEchoGroupsAlwaysAgree)
{
    start();
    open();
    EXPECT_TRUE(ctl<QRadioButton>("optEcho_0")->isChecked());
    EXPECT_TRUE(ctl<QRadioButton>("optEchoT_0")->isChecked());
    const struct {
        const char* clicked;
        bool on;
    } steps[] = {{"optEchoT_1", true}, {"optEcho_0", false}, {"optEcho_1", true}, {"optEchoT_0", false}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.clicked);
        click(s.clicked);
        EXPECT_EQ(ctl<QRadioButton>("optEcho_1")->isChecked(), s.on);
        EXPECT_EQ(ctl<QRadioButton>("optEchoT_1")->isChecked(), s.on);
        EXPECT_EQ(ctl<QRadioButton>("optEcho_0")->isChecked(), !s.on);
        EXPECT_EQ(ctl<QRadioButton>("optEchoT_0")->isChecked(), !s.on);
    }
}

TEST_F(PropertiesTest, TcpIpIsRefusedOffTheTav8kPathsAndClosesThePort)
{
    start();
    for (const char* path : {"mnuData", "mnuTAVa", "mnuOrlaPCU", "mnuCpanel", "mnuUSBpcu"}) {
        SCOPED_TRACE(path);
        action(path)->trigger();
        if (!linkOpen())
            action("mnuOpen")->trigger();
        ASSERT_TRUE(linkOpen());
        shown.clear();
        open();
        click("optTCPIP");
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, "TCP/IP not allowed for the present module selection");
        EXPECT_TRUE(ctl<QRadioButton>("optSerial")->isChecked());
        EXPECT_FALSE(ctl<QRadioButton>("optTCPIP")->isChecked());
        EXPECT_FALSE(dialogVisible("fraTCPIP"));
        EXPECT_FALSE(visible("fraHSBlock"));
        EXPECT_FALSE(linkOpen());
        dlg.reset();
    }
}

TEST_F(PropertiesTest, TcpIpIsAcceptedOnEachTav8kPathAndCoversTheHandshakeBoxes)
{
    start();
    for (const char* path : {"mnuTAV8a", "mnuTAV8p", "mnuTAV8d", "mnuTAV8m1", "mnuTAV8m2", "mnuTAV8mdb"}) {
        SCOPED_TRACE(path);
        action(path)->trigger();
        shown.clear();
        open();
        click("optTCPIP");
        EXPECT_TRUE(shown.empty());
        EXPECT_TRUE(ctl<QRadioButton>("optTCPIP")->isChecked());
        EXPECT_TRUE(dialogVisible("fraTCPIP"));
        EXPECT_TRUE(visible("fraHSBlock"));
        click("optSerial");
        EXPECT_FALSE(dialogVisible("fraTCPIP"));
        EXPECT_FALSE(visible("fraHSBlock"));
        dlg.reset();
    }
}

TEST_F(PropertiesTest, OkSavesTheSerialProfileAndReopensTheLink)
{
    start();
    ASSERT_TRUE(linkOpen());
    open();
    choose("cboPort", "Com2");
    choose("cboSpeed", "19200");
    choose("cboParity", "Even");
    choose("cboDataBits", "7");
    choose("cboStopBits", "2");
    click("optFlow_1");
    click("optEcho_1");
    const int before = made;
    click("cmdOK");
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(shown.empty());

    const common::SettingsStore back = common::SettingsStore::atPath("KorrinUniv1", storePath);
    EXPECT_EQ(back.get("Properties", "Settings", "<absent>"), "19200,E,7,2");
    EXPECT_EQ(back.get("Properties", "CommPort", "<absent>"), "2");
    EXPECT_EQ(back.get("Properties", "Handshaking", "<absent>"), "1");
    EXPECT_EQ(back.get("Properties", "Echo", "<absent>"), "True");
    EXPECT_EQ(back.get("Properties", "Type", "<absent>"), "True");

    EXPECT_TRUE(linkOpen());
    EXPECT_EQ(made, before + 1);
    EXPECT_EQ(panel("Settings"), "Settings: Com2: 19200,E,7,2, Echo On     DATA Terminal mode");
    // The next start reads the same values back.
    dlg.reset();
    start();
    open();
    EXPECT_EQ(combo("cboPort"), "Com2");
    EXPECT_EQ(combo("cboSpeed"), "19200");
    EXPECT_EQ(combo("cboParity"), "Even");
    EXPECT_TRUE(ctl<QRadioButton>("optFlow_1")->isChecked());
    EXPECT_TRUE(ctl<QRadioButton>("optEcho_1")->isChecked());
}

TEST_F(PropertiesTest, OkSavesTheTcpProfileOnATav8kPath)
{
    start();
    action("mnuTAV8a")->trigger();
    open();
    click("optTCPIP");
    type("txtAddress", "127.0.0.1");
    type("txtPort", "2101");
    click("optEchoT_1");
    click("cmdOK");
    EXPECT_EQ(dlg->result(), QDialog::Accepted);

    EXPECT_EQ(stored("Address"), "127.0.0.1");
    EXPECT_EQ(stored("PortNumber"), "2101");
    EXPECT_EQ(stored("Type"), "False");
    EXPECT_EQ(stored("Echo"), "True");
    EXPECT_EQ(stored("Settings"), "9600,N,8,1"); // stored by the path choice, not by this OK
    ASSERT_TRUE(linkOpen());
    EXPECT_EQ(panel("Settings"), "Settings: IP 127.0.0.1 : 2101, Echo On     TAV 8K Translation ACU");
    EXPECT_TRUE(visible("fraHSBlock"));
}

TEST_F(PropertiesTest, ATcpPortThatDoesNotFitIsRefusedAndNothingSaved)
{
    start();
    action("mnuTAV8a")->trigger();
    open();
    click("optTCPIP");
    for (const char* text : {"50000", "0", "-5"}) {
        shown.clear();
        type("txtPort", text);
        click("cmdOK");
        ASSERT_EQ(shown.size(), 1u) << text;
        EXPECT_NE(shown[0].text.find("out of range"), std::string::npos) << shown[0].text;
        EXPECT_TRUE(dlg->isVisible()) << text;
        EXPECT_EQ(stored("PortNumber"), "<absent>") << text;
    }
    type("txtPort", "32767");
    click("cmdOK");
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(stored("PortNumber"), "32767");
    EXPECT_EQ(win->terminal().nPort, 32767);
}

TEST_F(PropertiesTest, AValueTheSerialLayerRefusesLeavesTheDialogOpenAndNothingSaved)
{
    start();
    ASSERT_TRUE(linkOpen());
    open();
    choose("cboDataBits", "4");
    choose("cboSpeed", "4800");
    click("optEcho_1");
    click("cmdOK");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(shown[0].text.find("4 data bits"), std::string::npos) << shown[0].text;
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_NE(dlg->result(), QDialog::Accepted);
    for (const char* key : {"Settings", "CommPort", "Handshaking", "Echo", "Type"})
        EXPECT_EQ(stored(key), "<absent>") << key;
    EXPECT_FALSE(linkOpen()); // closed before the settings were applied, and left closed
    EXPECT_EQ(win->terminal().settings, "9600,N,8,1");
    EXPECT_FALSE(win->terminal().echo);

    // Put right, the same dialog saves.
    choose("cboDataBits", "8");
    click("cmdOK");
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(stored("Settings"), "4800,N,8,1");
}

TEST_F(PropertiesTest, OkFromTcpBackToSerialClosesTheConnectionAndOpensThePort)
{
    storeBefore({{"Direct", "TAV8d"}, {"Type", "False"}, {"Address", "127.0.0.1"}, {"PortNumber", "2101"}});
    start();
    ASSERT_TRUE(linkOpen());
    const int madeBefore = made;
    const size_t eventsBefore = journal.events.size();
    open();
    EXPECT_TRUE(ctl<QRadioButton>("optTCPIP")->isChecked());
    EXPECT_TRUE(dialogVisible("fraTCPIP"));
    click("optSerial");
    click("cmdOK");
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    // The TCP link is gone by now (a serial one took its place): its close is in the journal.
    ASSERT_GT(journal.events.size(), eventsBefore + 1);
    EXPECT_EQ(journal.events[eventsBefore], "close");
    EXPECT_EQ(journal.events.back(), "open");
    // A new link was made (its address may be the old one's: compare counts, not pointers).
    EXPECT_GT(made, madeBefore);
    EXPECT_EQ(last->describe(), "fake serial");
    EXPECT_TRUE(linkOpen());
    EXPECT_EQ(stored("Type"), "True");
    EXPECT_EQ(panel("Settings"), "Settings: Com1: 9600,N,8,1, Echo Off     TAV 8K Translation DVB");
    EXPECT_FALSE(visible("fraHSBlock"));
}

TEST_F(PropertiesTest, CancelAfterChoosingTcpIpLeavesTheSerialLinkAsItWas)
{
    start();
    action("mnuTAV8a")->trigger();
    ASSERT_TRUE(linkOpen());
    const int before = made;
    open();
    click("optTCPIP");
    EXPECT_TRUE(visible("fraHSBlock")); // covered while TCP/IP is the choice
    ctl<QPushButton>("cmdCancel")->click();
    EXPECT_FALSE(visible("fraHSBlock"));
    EXPECT_TRUE(win->terminal().serial);
    EXPECT_TRUE(linkOpen());
    EXPECT_EQ(made, before);
    EXPECT_EQ(stored("Type"), "<absent>");
    sent();
    QTest::keyClicks(term(), "S");
    EXPECT_EQ(sent(), "S"); // still the serial link
    EXPECT_TRUE(shown.empty());
}

TEST_F(PropertiesTest, CancelChangesNothing)
{
    start();
    open();
    choose("cboSpeed", "2400");
    click("optEcho_1");
    ctl<QPushButton>("cmdCancel")->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(stored("Settings"), "<absent>");
    EXPECT_EQ(stored("Echo"), "<absent>");
    EXPECT_EQ(win->terminal().settings, "9600,N,8,1");
    EXPECT_TRUE(linkOpen());
}

TEST_F(PropertiesTest, ThePortListShowsEachPortAsTheSystemDescribesIt)
{
    ports.list = testsupport::twoAdaptersAndABuiltInPort();
    storeBefore({{"CommPort", "2"}});
    start();
    open();
    auto* list = ctl<QComboBox>("cboPort");
    ASSERT_EQ(list->count(), 16);
    EXPECT_EQ(list->itemText(0), "Com1  /dev/ttyUSB0  FT232R USB UART (A10K3Z)");
    EXPECT_EQ(list->itemText(1), "Com2  /dev/ttyUSB1  CP2102 USB to UART Bridge Controller (0001)");
    EXPECT_EQ(list->itemText(2), "Com3  /dev/ttyS0");
    EXPECT_EQ(list->itemText(15), "Com16");
    EXPECT_EQ(list->currentIndex(), 1);

    const auto picture = testsupport::portListPicture(dlg.get(), list, "korrin-comm-port-properties.png");
    EXPECT_TRUE(picture.popupShown);
    EXPECT_FALSE(picture.image.isNull());
    if (!picture.savedTo.isEmpty())
        std::cerr << "picture: " << picture.savedTo.toStdString() << "\n";
}

TEST_F(PropertiesTest, AUsbAdapterChosenAndConfirmedIsPinnedAndBecomesTheDevice)
{
    const std::string acme = testsupport::twoAdaptersAndABuiltInPort()[2].byIdPath;
    const struct {
        const char* what;
        const char* entry;
        bool ok;
        const char* key;
        std::string pinned;
    } rows[] = {
        {"USB adapter, OK", "Com1  /dev/ttyUSB0  FT232R USB UART (A10K3Z)", true, "Com1", acme},
        {"USB adapter, Cancel", "Com1  /dev/ttyUSB0  FT232R USB UART (A10K3Z)", false, "Com1", ""},
        {"built-in port, OK", "Com3  /dev/ttyS0", true, "Com3", ""},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        std::filesystem::remove(storePath);
        ports.list = testsupport::twoAdaptersAndABuiltInPort();
        storeBefore({{"CommPort", "2"}});
        start();
        open();
        auto* list = ctl<QComboBox>("cboPort");
        const int i = list->findText(r.entry);
        ASSERT_GE(i, 0);
        list->setCurrentIndex(i);
        Q_EMIT list->activated(i);
        ctl<QPushButton>(r.ok ? "cmdOK" : "cmdCancel")->click();
        EXPECT_EQ(device(r.key), r.pinned);
        EXPECT_EQ(stored("CommPort"), r.ok ? std::to_string(i + 1) : "2");
        if (!r.pinned.empty()) {
            // The link the terminal made is for the pinned device, and the status bar names it.
            EXPECT_EQ(win->terminal().devicePath, r.pinned);
            EXPECT_NE(find<QLabel>("sbrStatus_Settings")->toolTip().indexOf(QString::fromStdString(r.pinned)), -1);
            EXPECT_TRUE(linkOpen());
        }
        dlg.reset();
    }
}

TEST_F(PropertiesTest, OkWithoutChoosingAPortPinsNothing)
{
    ports.list = testsupport::twoAdaptersAndABuiltInPort();
    start();
    open();
    choose("cboSpeed", "19200");
    click("cmdOK");
    EXPECT_EQ(stored("CommPort"), "1");
    EXPECT_EQ(device("Com1"), "");
}

} // namespace
