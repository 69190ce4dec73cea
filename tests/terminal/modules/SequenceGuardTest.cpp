// One long sequence at a time: while one runs, every entry that could close, reopen or
// reconfigure the link, or start another sequence, refuses by itself (the window disables them
// too, but the logic does not rely on it). Commands of their own clear a stale abort flag.
#include "ModuleFixture.h"

#include "terminal/core/CommsLog.h"
#include "terminal/core/Nmea.h"
#include "terminal/core/TextSender.h"

#include <fstream>
#include <functional>

namespace modtest {
namespace {

class SequenceGuardTest : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        sender = std::make_unique<term::TextSender>(*t);
        nmea = std::make_unique<term::Nmea>(*t);
        log = std::make_unique<term::CommsLog>(*t);
        textFile = dir + "/lines.txt";
        std::ofstream(textFile) << "mA001\nmB002\n";
    }
    void TearDown() override
    {
        paths->ModemTuneCancel();
        log.reset();
        nmea.reset();
        sender.reset();
        ModuleTest::TearDown();
    }

    // Everything an entry could change, as one comparable text.
    std::string snapshot() const
    {
        std::string s = std::to_string(journal.writes.size()) + "/" + std::to_string(journal.events.size());
        s += "/path " + std::string(paths->selectedRow().code) + "/settings " + t->settings;
        s += "/hex " + std::to_string(t->hexDisplay) + "/dtr " + std::to_string(t->dtr());
        s += "/rts " + std::to_string(t->rts()) + "/pacing " + std::to_string(sender->checkedPacing());
        s += "/tune " + std::to_string(paths->menus().modemTuneRunning) + "/log " + std::to_string(log->isOpen());
        s += "/open " + std::to_string(t->linkOpen());
        return s;
    }

    std::unique_ptr<term::TextSender> sender;
    std::unique_ptr<term::Nmea> nmea;
    std::unique_ptr<term::CommsLog> log;
    std::string textFile;
};

TEST_F(SequenceGuardTest, EntriesThatWouldDisturbARunningSequenceRefuseByThemselves)
{
    const struct {
        const char* entry;
        std::function<void()> run;
    } entries[] = {
        {"Port Open", [this] { t->mnuOpen_Click(); }},
        {"module list entry", [this] { paths->Select(ModulePath::TAV8a, true); }},
        {"Modem Tune", [this] { paths->ModemTune_Click(); }},
        {"Tools query command", [this] { commands->Run(term::ModuleCommand::ACUVersion); }},
        {"Vantor Comms On", [this] { commands->Run(term::ModuleCommand::VantorCommsOn); }},
        {"toolbar Status", [this] { paths->QueryModuleStatus(); }},
        {"toolbar Module Version", [this] { paths->QueryModuleVersion(); }},
        {"PCU Reset", [this] { commands->PCUReset(); }},
        {"Send GPS Data", [this] { nmea->SendGPS(); }},
        {"Send HDG Data", [this] { nmea->SendHDG(); }},
        {"Send Text File", [this] { sender->SendTextFile(textFile); }},
        {"Parameter Upload", [this] { sender->ParameterUpload(textFile); }},
        {"Hex Data Display", [this] { t->mnuHex_Click(); }},
        {"pacing 0 ms", [this] { sender->choosePacing(0); }},
        {"DTR box", [this] { t->chkDTR_Click(!t->dtr()); }},
        {"RTS box", [this] { t->chkRTS_Click(!t->rts()); }},
        {"Start Log File", [this] { log->Start(dir + "/comms.log"); }},
    };
    for (const auto& e : entries) {
        SCOPED_TRACE(e.entry);
        // A fresh terminal each time, on the Tav 8K to DVB path with the link open.
        TearDown();
        SetUp();
        paths->Select(ModulePath::TAV8d, false);
        paths->ExpertMode_Click();
        openLink();
        forget();
        {
            term::Terminal::Sequence running(*t);
            ASSERT_TRUE(running.started());
            const std::string before = snapshot();
            e.run();
            clock.advance(Ms{300});
            EXPECT_EQ(snapshot(), before);
            EXPECT_TRUE(ui.messages.empty());
        }
        // Once the sequence has ended the same entry does what it is for.
        const std::string idle = snapshot();
        e.run();
        clock.advance(Ms{300});
        EXPECT_NE(snapshot(), idle) << "the entry did nothing even without a sequence running";
    }
}

// Text sending and the modem tune stream share one cancel window, so they never run together:
// while the stream runs a send is refused, and Cancel reaches the stream.
TEST_F(SequenceGuardTest, ModemTuneAndATextSendNeverRunTogether)
{
    openLink();
    paths->ExpertMode_Click();
    std::vector<bool> stops;
    paths->onModemTuneStopped = [&](bool byCancel) { stops.push_back(byCancel); };
    ASSERT_TRUE(paths->ModemTune_Click());
    EXPECT_TRUE(t->sequenceRunning());
    forget();
    EXPECT_EQ(sender->SendTextFile(textFile), term::TextSender::Result::Busy);
    clock.advance(Ms{250});
    EXPECT_EQ(writes(), (std::vector<std::string>{std::string(250, 'U'), std::string(250, 'U')}))
        << "the stream goes on, and no line of the file went out";

    paths->ModemTuneCancel();
    EXPECT_EQ(stops, (std::vector<bool>{true}));
    EXPECT_FALSE(t->sequenceRunning());
    forget();
    EXPECT_EQ(sender->SendTextFile(textFile), term::TextSender::Result::Done);
    EXPECT_EQ(writes(), (std::vector<std::string>{"mA001\r\n", "mB002\r\n"}));
}

// A send on the closed link leaves the abort flag set; a later command that waits must still
// wait: the DVB Module Version sends its two lines 50 ms apart.
TEST_F(SequenceGuardTest, AStaleAbortFlagDoesNotCutALaterCommandsWaitsShort)
{
    paths->Select(ModulePath::TAV8d, false);
    paths->QueryModuleStatus(); // on the closed link: warns, abort flag 2
    ASSERT_EQ(t->abortFlag, 2);
    openLink();
    forget();
    const Ms start = clock.now();
    paths->QueryModuleVersion();
    ASSERT_EQ(journal.writes.size(), 2u);
    EXPECT_EQ(journal.writes[0].bytes, "wV   \r\n");
    EXPECT_EQ(journal.writes[0].at, start);
    EXPECT_EQ(journal.writes[1].bytes, "w!   \r\n");
    EXPECT_EQ(journal.writes[1].at, start + Ms{50});
}

} // namespace
} // namespace modtest
