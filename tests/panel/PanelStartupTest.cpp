// Start-up of the main window, the start timer, the first poll cycle and shut-down.
#include "panel/PanelFixture.h"

namespace paneltest {
namespace {

TEST_F(PanelTest, StartupOpensThePortAndPollingBeginsAfterTheStartTimerAndOnePacingTick)
{
    startUp();

    EXPECT_EQ(journal.events, (std::vector<std::string>{"open"}));
    EXPECT_TRUE(shared.open);
    EXPECT_EQ(main.status[1], "Status: Port Open");
    EXPECT_EQ(main.status[0].rfind("Settings: Com1: 9600,N,8,1", 0), 0u) << main.status[0];
    EXPECT_NE(main.status[0].find("/dev/fake-com1"), std::string::npos) << main.status[0];
    EXPECT_EQ(main.displayState, 64);
    EXPECT_EQ(main.text5[0], "ANTENNA ");
    EXPECT_EQ(main.poll, kAntennaPoll);
    EXPECT_EQ(main.timeoutMs, 3000);
    EXPECT_EQ(main.pacingMs, 200);
    EXPECT_EQ(shared.terminator, "\r\n");
    EXPECT_TRUE(portLamp().lit());
    for (int i = 0; i < 7; ++i) {
        EXPECT_FALSE(main.lamps[size_t(i)].hollow) << "lamp " << i;
        EXPECT_FALSE(main.lamps[size_t(i)].cycleMark) << "lamp " << i;
    }
    EXPECT_TRUE(ui.messages.empty());
    // The satellite screen's texts stand blank until the ACU has reported them.
    for (const std::string* t : {&main.thrsText, &main.freqText, &main.ifText, &main.nidText, &main.skewText})
        EXPECT_EQ(*t, "    ");
    EXPECT_EQ(main.toneText, "  ");

    // The ANTENNA key armed the start timer for 600 ms; start-up then set 1500 ms.
    clock.advance(1499ms);
    EXPECT_TRUE(main.timer1Tag.empty()) << "the start timer ran before 1500 ms";
    EXPECT_FALSE(panel->timer3().enabled());

    clock.advance(1ms);
    EXPECT_EQ(main.timer1Tag, "1");
    EXPECT_FALSE(panel->timer1().enabled());
    EXPECT_TRUE(panel->timer3().enabled());
    for (int i = 0; i < 7; ++i) {
        EXPECT_FALSE(main.lamps[size_t(i)].hollow) << "lamp " << i;
        EXPECT_TRUE(main.lamps[size_t(i)].cycleMark) << "lamp " << i;
    }
    EXPECT_TRUE(journal.writes.empty());

    clock.advance(199ms);
    EXPECT_TRUE(journal.writes.empty());
    clock.advance(1ms);
    ASSERT_EQ(journal.writes.size(), 1u);
    EXPECT_EQ(journal.writes[0].bytes, "S");
    EXPECT_EQ(journal.writes[0].at, 1700ms);
}

TEST_F(PanelTest, AntennaPollSequenceGoesOutOneElementPerTickAndWraps)
{
    startPolling();
    const size_t n = kAntennaElements.size();

    std::vector<std::string> got;
    for (size_t k = 0; k < n; ++k) {
        const size_t before = journal.writes.size();
        clock.advance(200ms);
        ASSERT_EQ(journal.writes.size(), before + 1) << "tick " << k << " sent " << journal.writes.size() - before;
        EXPECT_EQ(journal.writes.back().at, Ms{1700 + 200 * int(k)});
        got.push_back(journal.writes.back().bytes);

        if (k == 0) {
            // Position 1 shows the whole sequence in status panel 3.
            EXPECT_EQ(main.status[2], "Query: " + kAntennaPoll);
            main.status[2].clear();
            // A reply line turns the cycle mark off.
            EXPECT_TRUE(portLamp().cycleMark);
            link().receive("r\r");
            EXPECT_FALSE(portLamp().cycleMark);
            EXPECT_TRUE(portLamp().lit());
        } else if (k + 1 < n) {
            EXPECT_EQ(main.status[2], "") << "status panel 3 set at element " << k;
            EXPECT_FALSE(portLamp().cycleMark) << "cycle mark set before the sequence wrapped, element " << k;
        }
    }
    EXPECT_EQ(got, kAntennaElements);
    // The last element wraps the sequence: the lamp flickers until the next reply line.
    EXPECT_TRUE(portLamp().cycleMark);
    EXPECT_FALSE(portLamp().lit());
    EXPECT_EQ(main.pollPos, 1);
    link().receive("r\r");
    EXPECT_FALSE(portLamp().cycleMark);

    EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));
    EXPECT_EQ(main.status[2], "Query: " + kAntennaPoll);
}

TEST_F(PanelTest, PacingMenuSetsTheIntervalBetweenCommands)
{
    startPolling();
    for (int pace : {50, 100, 500, 200}) {
        panel->setPacing(pace);
        EXPECT_EQ(main.pacingMs, pace);
        for (int cycle = 0; cycle < 3; ++cycle) {
            EXPECT_TRUE(ticks(1, Ms{pace - 1}).empty()) << pace << " ms, cycle " << cycle;
            EXPECT_EQ(ticks(1, 1ms).size(), 1u) << pace << " ms, cycle " << cycle;
        }
    }
}

TEST_F(PanelTest, StartupReadsStoredQueryModeAndAntennaWithoutAsking)
{
    struct Case {
        const char* query;
        const char* mode;
        const char* select;
        bool showQuery;
        bool mode70;
        int active;
    };
    const Case cases[] = {
        {nullptr, nullptr, nullptr, false, false, 1},
        {"True", "70MHz", "2", true, true, 2},
        {"False", "DVB", "1", false, false, 1},
        {"True", "DVB", "9", true, false, 1}, // not a profile number: the first profile
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("Select ") + (c.select ? c.select : "absent"));
        TearDown();
        SetUp();
        shared = {};
        main = {};
        links.clear();
        journal = {};
        ui.selectedButtons.clear();
        ui.messages.clear();
        store->save(common::kSection, "Serial2", "True");
        if (c.query)
            store->save(common::kSection, "Query", c.query);
        if (c.mode)
            store->save(common::kSection, "Mode", c.mode);
        if (c.select)
            store->save(common::kSection, "Select", c.select);
        // A window that fires the button's click when it is selected: the guard swallows it.
        ui.onSelect = [this](int i) { panel->optAntenna_Click(i); };

        startUp();

        EXPECT_EQ(main.showQuery, c.showQuery);
        EXPECT_EQ(main.mode70, c.mode70);
        EXPECT_EQ(shared.profiles.select, c.active);
        EXPECT_EQ(ui.selectedButtons, (std::vector<int>{c.active - 1}));
        EXPECT_FALSE(shared.selectionGuard);
        EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
        EXPECT_EQ(journal.events, (std::vector<std::string>{"open"}));
        EXPECT_EQ(main.status[0].rfind("Settings: Com" + std::to_string(c.active) + ": ", 0), 0u) << main.status[0];
        ui.onSelect = nullptr;
    }
}

TEST_F(PanelTest, ShutdownSavesQueryAndMode)
{
    struct Case {
        bool showQuery;
        bool mode70;
        const char* query;
        const char* mode;
    };
    const Case cases[] = {
        {false, false, "False", "DVB"},
        {true, false, "True", "DVB"},
        {false, true, "False", "70MHz"},
        {true, true, "True", "70MHz"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.query) + " " + c.mode);
        panel.reset();
        links.clear();
        startUp();
        panel->setShowQuery(c.showQuery);
        panel->setReceiverMode70(c.mode70);
        panel->Shutdown();
        EXPECT_EQ(stored("Query"), c.query);
        EXPECT_EQ(stored("Mode"), c.mode);
        EXPECT_FALSE(panel->timer1().enabled());
        EXPECT_FALSE(panel->timer2().enabled());
        EXPECT_FALSE(panel->timer3().enabled());
    }
}

} // namespace
} // namespace paneltest

namespace paneltest {
namespace {

TEST_F(PanelTest, StartTimerWaitsWhileDiagnosticsAreStoppedAndStopsOnAnEmptyPollSequence)
{
    startPolling();
    EXPECT_EQ(ticks(1), (std::vector<std::string>{"S"}));

    // A screen key with the diagnostics Stop box checked before the start timer runs: the
    // start timer keeps looking every second and starts the scheduler once Stop is cleared.
    panel->EnterScreen(16, "SHIP ", "SPH@");
    shared.diagStop = true;
    shared.oneShot = "V";
    clock.advance(600ms);
    EXPECT_TRUE(shared.oneShot.empty()) << "the start timer drops a pending one-shot command";
    EXPECT_FALSE(panel->timer3().enabled());
    EXPECT_TRUE(panel->timer1().enabled());
    EXPECT_EQ(panel->timer1().interval(), 1000ms);
    EXPECT_FALSE(portLamp().hollow);
    EXPECT_TRUE(portLamp().cycleMark);
    EXPECT_TRUE(ticks(10).empty());

    shared.diagStop = false;
    const auto sent = ticks(6); // within 1000 ms the start timer runs, then one pacing tick
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0], "S");
    EXPECT_TRUE(panel->timer3().enabled());
    EXPECT_FALSE(panel->timer1().enabled());

    // An empty poll sequence: the start timer stops and nothing is polled.
    panel->EnterScreen(128, "MODE", "");
    clock.advance(600ms);
    EXPECT_FALSE(panel->timer1().enabled());
    EXPECT_FALSE(panel->timer3().enabled());
    EXPECT_TRUE(ticks(10).empty());

    // Restart resumes polling at once on the given screen.
    main.poll = "SPHu";
    main.pollPos = 1;
    panel->Restart(64);
    EXPECT_EQ(main.displayState, 64);
    EXPECT_EQ(panel->timer1().interval(), 10ms);
    EXPECT_TRUE(ticks(1, 209ms).empty());
    EXPECT_EQ(ticks(1, 1ms), (std::vector<std::string>{"S"}));
}

} // namespace
} // namespace paneltest
