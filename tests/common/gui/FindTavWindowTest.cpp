// The "Find TAVs" window, offscreen: captions, both searches against loopback controllers, the
// web page double click, "Configure Port", F1, and the terminal's stored search settings.
// The broadcast address is injected as 127.0.0.1 and the answers arrive on 127.0.0.1.
#include "common/DiscoverySupport.h"
#include "common/TestSupport.h"

#include "common/SettingsStore.h"
#include "common/gui/frmFindTAV.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>

using testsupport::LoopbackLan;
using testsupport::pumpFor;
using testsupport::pumpUntil;

namespace {

constexpr int kAnswerWaitMs = 3000;
constexpr int kQuietMs = 150;

class FindTavWindow : public ::testing::Test {
public:
    void TearDown() override
    {
        delete win.data();
        store.reset();
    }

    // Builds the window; the terminal's way when withStore.
    void open(bool withStore = false, const QString& defaultAddress = QString::fromLatin1(common::kPanelFindAddress))
    {
        FindTavSetup s;
        s.network = {"127.0.0.1", "127.0.0.1"};
        s.defaultAddress = defaultAddress;
        s.configurePort = [this] { ++configured; };
        s.openUrl = [this](const QString& u) { urls << u; };
        s.openHelp = [this](const QString& p) { help << p; };
        s.message = [this](const QString& t) { messages << t; };
        if (withStore) {
            store = std::make_unique<common::SettingsStore>(common::SettingsStore::atPath("KorrinUniv1", storePath()));
            s.store = store.get();
        }
        win = new frmFindTAV(std::move(s));
        win->show();
    }

    template <class T> T* find(const char* name) const
    {
        T* w = win->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QListWidget* list() const { return find<QListWidget>("List1"); }
    QStringList listed() const
    {
        QStringList out;
        for (int i = 0; i < list()->count(); ++i)
            out << list()->item(i)->text();
        return out;
    }
    void type(const char* box, const QString& text)
    {
        auto* e = find<QLineEdit>(box);
        e->selectAll();
        QTest::keyClicks(e, text);
    }
    void click(const char* button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    bool waitListed(int count)
    {
        return pumpUntil([&] { return list()->count() >= count; }, kAnswerWaitMs);
    }
    // Lets the window's deferred deletion happen.
    void settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    std::string stored(const char* key) const
    {
        return common::SettingsStore::atPath("KorrinUniv1", storePath()).get("FindTavs", key, "<absent>");
    }
    std::string storePath() const { return dir.file("KorrinUniv1.ini"); }

    testsupport::TempDir dir;
    std::unique_ptr<common::SettingsStore> store;
    QPointer<frmFindTAV> win;
    int configured = 0;
    QStringList urls, help, messages;
};

} // namespace

TEST_F(FindTavWindow, ShowsItsControlsWithTheirCaptionsAndTips)
{
    open();
    EXPECT_EQ(win->windowTitle(), "Find TAVs");
    EXPECT_EQ(win->objectName(), "frmFindTAV");
    const struct {
        const char* name;
        const char* caption;
        const char* tip;
    } buttons[] = {
        {"cmdFind", "Find All local TAVs", "Broadcast search on Local Area Network only"},
        {"cmdFindSpec", "Find Specific TAV", "This search is routable to Remote TAVs"},
        {"cndUseIP", "Configure Port", "Manually Configure Port Properties"},
        {"cmdExit_0", "OK", ""},
        {"cmdExit_1", "Cancel", ""},
    };
    for (const auto& b : buttons) {
        auto* w = find<QPushButton>(b.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->text(), b.caption) << b.name;
        EXPECT_EQ(w->toolTip(), b.tip) << b.name;
        EXPECT_TRUE(w->isVisible()) << b.name;
    }
    QStringList labels;
    for (auto* l : win->findChildren<QLabel*>())
        labels << l->text();
    for (const char* l : {"IP Address", "Port Number", "List of All TAVs Found", "Double Click on Address to open Web Page"})
        EXPECT_TRUE(labels.contains(l)) << l;
    EXPECT_EQ(find<QLineEdit>("txtPort")->text(), "3000");
    EXPECT_EQ(find<QLineEdit>("txtIPAddress")->text(), "192.168.0.195");
    EXPECT_EQ(list()->count(), 0);
}

TEST_F(FindTavWindow, FindAllListsEveryAnswerDuplicatesIncluded)
{
    LoopbackLan lan;
    ASSERT_TRUE(lan.ok());
    lan.controllers = {"127.0.0.2", "127.0.0.3"};
    lan.answersEach = 2;
    open();
    type("txtPort", QString::number(lan.port()));
    click("cmdFind");
    ASSERT_TRUE(waitListed(4)) << listed().join(',').toStdString();
    pumpFor(kQuietMs);
    QStringList got = listed();
    got.sort();
    EXPECT_EQ(got, (QStringList{"127.0.0.2", "127.0.0.2", "127.0.0.3", "127.0.0.3"}));
    ASSERT_EQ(lan.requests().size(), 1u);
    EXPECT_EQ(lan.requests()[0].senderPort, lan.port() + 3);
    EXPECT_TRUE(messages.isEmpty());

    // Searching again starts a fresh list.
    lan.controllers = {"127.0.0.4"};
    lan.answersEach = 1;
    click("cmdFind");
    ASSERT_TRUE(pumpUntil([&] { return listed() == QStringList{"127.0.0.4"}; }, kAnswerWaitMs))
        << listed().join(',').toStdString();
}

TEST_F(FindTavWindow, FindSpecificSearchesTheTypedAddressAlsoOnEnter)
{
    LoopbackLan lan;
    ASSERT_TRUE(lan.ok());
    lan.controllers = {"127.0.0.1"};
    open();
    type("txtPort", QString::number(lan.port()));
    type("txtIPAddress", "127.0.0.1");
    click("cmdFindSpec");
    ASSERT_TRUE(waitListed(1));
    EXPECT_EQ(listed(), QStringList{"127.0.0.1"});

    QTest::keyClick(find<QLineEdit>("txtIPAddress"), Qt::Key_Return);
    ASSERT_TRUE(pumpUntil([&] { return lan.requests().size() == 2; }, kAnswerWaitMs));
    ASSERT_TRUE(waitListed(1));
    pumpFor(kQuietMs);
    EXPECT_EQ(listed(), QStringList{"127.0.0.1"});
}

TEST_F(FindTavWindow, BadAddressOrPortShowsTheMessageAndListsNothing)
{
    const struct {
        const char* button;
        const char* address;
        const char* port;
    } cases[] = {
        {"cmdFind", "127.0.0.1", "30x0"},
        {"cmdFind", "127.0.0.1", ""},
        {"cmdFindSpec", "127.0.0.1", "70000"},
        {"cmdFindSpec", "127.0.0", "3000"},
        {"cmdFindSpec", "not an address", "3000"},
    };
    open();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " " + c.address + " " + c.port);
        messages.clear();
        type("txtIPAddress", c.address);
        type("txtPort", c.port);
        click(c.button);
        EXPECT_EQ(messages, QStringList{"Error, incorrect IP address / Port. "});
        EXPECT_EQ(list()->count(), 0);
        EXPECT_FALSE(win->discovery().listening());
    }
}

TEST_F(FindTavWindow, DoubleClickOpensTheWebPageOfTheSelectedAddressAndClearsTheSelection)
{
    LoopbackLan lan;
    ASSERT_TRUE(lan.ok());
    lan.controllers = {"127.0.0.2", "127.0.0.3"};
    open();
    type("txtPort", QString::number(lan.port()));
    click("cmdFind");
    ASSERT_TRUE(waitListed(2));

    for (int row = 0; row < 2; ++row) {
        SCOPED_TRACE(row);
        urls.clear();
        auto* item = list()->item(row);
        const QPoint at = list()->visualItemRect(item).center();
        // A double click: the first click selects the address, the second opens it.
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        ASSERT_TRUE(item->isSelected());
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(urls, QStringList{"http://" + item->text() + "/"});
        EXPECT_TRUE(list()->selectedItems().isEmpty());
    }
    // With no address selected the URL has an empty address.
    urls.clear();
    list()->clearSelection();
    win->List1_DblClick();
    EXPECT_EQ(urls, QStringList{"http:///"});
    // Enter on a selected address does the same as the double click.
    urls.clear();
    list()->setCurrentRow(1);
    list()->setFocus();
    QTest::keyClick(list(), Qt::Key_Return);
    EXPECT_EQ(urls, QStringList{"http://" + list()->item(1)->text() + "/"});
    EXPECT_TRUE(list()->selectedItems().isEmpty());
}

TEST_F(FindTavWindow, ConfigurePortAndHelpGoToTheProgramsHooks)
{
    open();
    click("cndUseIP");
    EXPECT_EQ(configured, 1);
    QTest::keyClick(win.data(), Qt::Key_F1);
    EXPECT_EQ(help, QStringList{"find_tav.html"});

    // Without a settings dialog to open the button is not offered.
    delete win.data();
    FindTavSetup bare;
    bare.network = {"127.0.0.1", "127.0.0.1"};
    win = new frmFindTAV(std::move(bare));
    EXPECT_FALSE(find<QPushButton>("cndUseIP")->isEnabled());
}

TEST_F(FindTavWindow, TheTerminalKeepsItsSearchSettings)
{
    // Fresh store: the defaults.
    open(true, QString::fromLatin1(common::kTerminalFindAddress));
    EXPECT_EQ(find<QLineEdit>("txtPort")->text(), "3000");
    EXPECT_EQ(find<QLineEdit>("txtIPAddress")->text(), "192.168.1.195");

    const struct {
        const char* name;
        const char* button;
        bool saved;
    } exits[] = {
        {"Cancel keeps the stored values", "cmdExit_1", false},
        {"OK stores both boxes", "cmdExit_0", true},
    };
    for (const auto& e : exits) {
        SCOPED_TRACE(e.name);
        if (!win)
            open(true, QString::fromLatin1(common::kTerminalFindAddress));
        type("txtPort", "2000");
        type("txtIPAddress", "10.20.30.40");
        click(e.button);
        settle();
        EXPECT_TRUE(win.isNull()) << "either button unloads the window";
        EXPECT_EQ(stored("PortNumber"), e.saved ? "2000" : "<absent>");
        EXPECT_EQ(stored("IPAddress"), e.saved ? "10.20.30.40" : "<absent>");
    }

    // Loading again fills the boxes from the store.
    open(true, QString::fromLatin1(common::kTerminalFindAddress));
    EXPECT_EQ(find<QLineEdit>("txtPort")->text(), "2000");
    EXPECT_EQ(find<QLineEdit>("txtIPAddress")->text(), "10.20.30.40");
    // Nothing else in the store changed section.
    EXPECT_FALSE(store->has("Properties", "PortNumber"));
}

TEST_F(FindTavWindow, OkCancelEscapeAndTheCloseBoxUnloadTheWindow)
{
    const struct {
        const char* name;
        std::function<void(FindTavWindow&)> close;
    } ways[] = {
        {"OK", [](FindTavWindow& t) { t.click("cmdExit_0"); }},
        {"Cancel", [](FindTavWindow& t) { t.click("cmdExit_1"); }},
        {"Escape", [](FindTavWindow& t) { QTest::keyClick(t.win.data(), Qt::Key_Escape); }},
        {"close box", [](FindTavWindow& t) { t.win->close(); }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.name);
        open(false);
        w.close(*this);
        settle();
        EXPECT_TRUE(win.isNull());
    }
}

TEST_F(FindTavWindow, ClosingTheWindowGivesBackTheAnswerPort)
{
    LoopbackLan lan;
    ASSERT_TRUE(lan.ok());
    open();
    type("txtPort", QString::number(lan.port()));
    click("cmdFind");
    ASSERT_TRUE(win->discovery().listening());
    EXPECT_FALSE(testsupport::udpPortFree(QHostAddress::LocalHost, lan.answerPort()));
    win->close();
    settle();
    EXPECT_TRUE(win.isNull());
    EXPECT_TRUE(testsupport::udpPortFree(QHostAddress::LocalHost, lan.answerPort()));
}
