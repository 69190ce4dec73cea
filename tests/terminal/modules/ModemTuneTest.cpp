// "Expert Mode" and the "Modem Tune" stream: every 100 ms the output buffer count goes on the
// screen, and below 100 bytes another sync string of 250 "U" is sent.
#include "ModuleFixture.h"

namespace modtest {
namespace {

const std::string kSync(250, 'U');

class ModemTuneTest : public ModuleTest {
protected:
    // The output buffer counts the stream reads, in order; 0 once they are used up.
    void scriptCounts(std::vector<long> counts)
    {
        script = std::move(counts);
        reads = 0;
        paths->outputCount = [this] { return reads < script.size() ? script[reads++] : 0L; };
    }
    std::vector<long> script;
    size_t reads = 0;
    std::vector<bool> stops; // what onModemTuneStopped was told, in order
    void watchStops()
    {
        paths->onModemTuneStopped = [this](bool byCancel) { stops.push_back(byCancel); };
    }
};

TEST_F(ModemTuneTest, ModemTuneIsEnabledOnlyInExpertMode)
{
    openLink();
    forget();
    EXPECT_FALSE(paths->menus().expertMode);
    EXPECT_FALSE(paths->ModemTune_Click());
    clock.advance(Ms{1000});
    EXPECT_TRUE(writes().empty());
    EXPECT_FALSE(paths->menus().modemTuneRunning);

    paths->ExpertMode_Click();
    EXPECT_TRUE(paths->menus().expertMode);
    paths->ExpertMode_Click();
    EXPECT_FALSE(paths->menus().expertMode);
    EXPECT_FALSE(paths->ModemTune_Click());
    clock.advance(Ms{1000});
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(t->screen.text(), "");
}

TEST_F(ModemTuneTest, StreamTopsUpWhileFewerThan100BytesWaitAndStopsOnCancel)
{
    openLink();
    watchStops();
    paths->ExpertMode_Click();
    scriptCounts({30, 280, 180, 99, 349, 100, 101});
    forget();
    t->ClearScreen();
    const Ms start = clock.now();

    ASSERT_TRUE(paths->ModemTune_Click());
    EXPECT_TRUE(paths->menus().modemTuneRunning);
    EXPECT_FALSE(paths->ModemTune_Click()); // already running: no second stream
    clock.advance(Ms{99});
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(t->screen.text(), "");

    clock.advance(Ms{401}); // ticks at 100, 200, 300, 400, 500
    EXPECT_EQ(t->screen.text(), "30 280+180 99 349+100 101 ");
    ASSERT_EQ(journal.writes.size(), 2u);
    EXPECT_EQ(journal.writes[0].bytes, kSync);
    EXPECT_EQ(journal.writes[0].at - start, Ms{100});
    EXPECT_EQ(journal.writes[1].bytes, kSync);
    EXPECT_EQ(journal.writes[1].at - start, Ms{300});
    EXPECT_TRUE(stops.empty());

    paths->ModemTuneCancel();
    EXPECT_FALSE(paths->menus().modemTuneRunning);
    EXPECT_EQ(stops, (std::vector<bool>{true}));
    const std::string shown = t->screen.text();
    clock.advance(Ms{1000});
    EXPECT_EQ(journal.writes.size(), 2u);
    EXPECT_EQ(t->screen.text(), shown);
    EXPECT_TRUE(ui.messages.empty());

    // It can be started again.
    ASSERT_TRUE(paths->ModemTune_Click());
    clock.advance(Ms{100});
    EXPECT_EQ(journal.writes.size(), 3u); // the script is used up: 0 bytes waiting
    paths->ModemTuneCancel();
}

TEST_F(ModemTuneTest, WithoutACountOfItsOwnTheStreamSendsWhenTheLinkHasDrained)
{
    openLink();
    paths->ExpertMode_Click();
    forget();
    t->ClearScreen();
    ASSERT_TRUE(paths->ModemTune_Click());
    clock.advance(Ms{1000});
    EXPECT_EQ(journal.writes.size(), 10u);
    for (const auto& w : journal.writes)
        EXPECT_EQ(w.bytes, kSync);
    std::string expected;
    for (int i = 0; i < 10; ++i)
        expected += "0 0+";
    EXPECT_EQ(t->screen.text(), expected);
    paths->ModemTuneCancel();
}

// A stream started with the link closed stops at its first tick with one warning, instead of
// a warning every 100 ms.
TEST_F(ModemTuneTest, StreamWithTheLinkClosedStopsWithOneWarning)
{
    watchStops();
    paths->ExpertMode_Click();
    scriptCounts({0, 0, 0});
    forget();
    ASSERT_TRUE(paths->ModemTune_Click());
    clock.advance(Ms{1000});
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(ui.closedWarnings(), 1);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(paths->menus().modemTuneRunning);
    EXPECT_EQ(stops, (std::vector<bool>{false}));
    paths->ModemTuneCancel(); // nothing left to stop
    EXPECT_EQ(stops.size(), 1u);
}

// The stream owns the link while it runs (Port Open is refused), but the device can still go
// away under it: the adapter is pulled.
TEST_F(ModemTuneTest, StreamStopsWhenTheLinkClosesUnderIt)
{
    openLink();
    watchStops();
    paths->ExpertMode_Click();
    forget();
    ASSERT_TRUE(paths->ModemTune_Click());
    clock.advance(Ms{200});
    EXPECT_EQ(journal.writes.size(), 2u);
    t->mnuOpen_Click();
    EXPECT_TRUE(t->linkOpen()) << "Port Open waits for the stream's Cancel";
    link->drop();
    link->onLost();
    ASSERT_FALSE(t->linkOpen());
    clock.advance(Ms{1000});
    EXPECT_EQ(journal.writes.size(), 2u);
    EXPECT_EQ(ui.closedWarnings(), 1);
    EXPECT_EQ(stops, (std::vector<bool>{false}));
}

} // namespace
} // namespace modtest
