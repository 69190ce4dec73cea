// The Vantor: its telemetry stream, stopped by "$" and started again by "%", its version and
// status answers, and the position and heading sentences it takes.
#include "ModuleTestUtil.h"
#include "ReplyChecks.h"

#include "sim/Vantor.h"

#include <gtest/gtest.h>

#include <vector>

using namespace simtest;

namespace {

std::vector<std::string> linesOf(const std::string& bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < 10000; ++i) {
        const std::size_t end = bytes.find("\r\n", start);
        if (end == std::string::npos)
            break;
        lines.push_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::string run(sim::ModuleModel& m, sim::Ms total)
{
    std::string out;
    for (sim::Ms t{0}; t < total; t += sim::Ms{10}) {
        m.advance(sim::Ms{10});
        out += m.takeOutput();
    }
    return out;
}

} // namespace

TEST(Vantor, StreamsNumberedTelemetryLines)
{
    sim::ModuleModel m("vantor");
    calm(m);
    m.device().placeAntenna(1805, 301);
    m.device().setTracking(false);
    const auto lines = linesOf(run(m, sim::Ms{1500}));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], "VNT 0001 AZ 180.5 EL 30.1 AGC 250 MAN");
    EXPECT_EQ(lines[1].substr(0, 8), "VNT 0002");
    EXPECT_EQ(lines[2].substr(0, 8), "VNT 0003");
}

TEST(Vantor, DollarStopsTheStreamAtOnceAndPercentStartsItAgain)
{
    const struct {
        const char* name;
        std::string stop;
        std::string answer; // to the stop itself
    } cases[] = {
        {"Stop Vantor Communications", "$", ""},
        {"the Status button", "$\r\n", "VANTOR STATUS OK STREAM OFF\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::ModuleModel m("vantor");
        calm(m);
        EXPECT_EQ(linesOf(run(m, sim::Ms{1000})).size(), 2u);
        EXPECT_EQ(ask(m, c.stop), c.answer);
        EXPECT_FALSE(m.as<sim::Vantor>().streaming());
        EXPECT_EQ(run(m, sim::Ms{5000}), "") << "silent after \"$\"";
        EXPECT_EQ(ask(m, "%"), "");
        EXPECT_TRUE(m.as<sim::Vantor>().streaming());
        const auto again = linesOf(run(m, sim::Ms{1000}));
        ASSERT_EQ(again.size(), 2u);
        EXPECT_EQ(again[0].substr(0, 8), "VNT 0003") << "the count goes on";
    }
}

TEST(Vantor, DollarStopsTheStreamEvenBeforeItsLineEnds)
{
    sim::ModuleModel m("vantor");
    m.receive("$");
    EXPECT_EQ(run(m, sim::Ms{1000}), "");
    // Comms on again before the "$" line timed out: the stream comes back and the "$" does
    // not swallow the next command.
    EXPECT_EQ(ask(m, "%"), "");
    EXPECT_EQ(linesOf(run(m, sim::Ms{500})).size(), 1u);
    EXPECT_EQ(ask(m, "V\r\n"), "VANTOR APP VER 1.40 SIM\r\n");
    // "%" in the middle of a line acts too and is not part of it.
    EXPECT_EQ(ask(m, "$"), "");
    EXPECT_EQ(ask(m, "V%\r\n"), "");
    EXPECT_TRUE(m.as<sim::Vantor>().streaming());
}

TEST(Vantor, AnswersVersionStatusAndErrors)
{
    const struct {
        std::string sent;
        std::string want;
    } cases[] = {
        {"V\r\n", "VANTOR APP VER 1.40 SIM\r\n"},
        {"verA\r", "VANTOR APP VER 1.40 SIM\r\n"},
        {"$\r\n", "VANTOR STATUS OK STREAM OFF\r\n"},
        {"what\r\n", "ERR what\r\n"},
        {ESC + "V\r\n", "VANTOR APP VER 1.40 SIM\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        sim::ModuleModel m("vantor");
        EXPECT_EQ(ask(m, c.sent), c.want);
        sim::ModuleModel slow("vantor");
        EXPECT_EQ(askByteByByte(slow, c.sent), c.want);
    }
}

TEST(Vantor, TakesPositionAndHeadingSentencesAndChecksTheirChecksums)
{
    sim::ModuleModel m("vantor");
    calm(m);
    auto& v = m.as<sim::Vantor>();
    // The terminal's GPS sentence, then "@"; the sentence itself is not answered.
    EXPECT_EQ(ask(m, "$GPGLL,3746.000,N,12213.000,W,0,00000,A\r\n"), "");
    EXPECT_FALSE(v.streaming()) << "its \"$\" silences the stream too";
    EXPECT_EQ(ask(m, "@"), "@N0378W1222\r\n");
    EXPECT_EQ(ask(m, "$HDHDT,123.4,T*00\r\n"), "");
    const std::string h = ask(m, "H");
    EXPECT_EQ(field(h, 8, 4), "1234") << h;
    EXPECT_EQ(ask(m, "$GPGLL,4916.45,N,12311.12,W,225444,A*31\r\n"), "");
    EXPECT_EQ(ask(m, "@"), "@N0493W1232\r\n");
    EXPECT_EQ(ask(m, "$GPGGA,1,2,3\r\n"), "") << "another sentence is ignored";

    EXPECT_EQ(v.nmea().count(sim::NmeaChecksum::Absent), 1);
    EXPECT_EQ(v.nmea().count(sim::NmeaChecksum::Bad), 1);
    EXPECT_EQ(v.nmea().count(sim::NmeaChecksum::Good), 1);

    // Strict: the bad checksum is refused and the heading stays.
    v.nmea().setStrict(true);
    ask(m, "$HDHDT,200.0,T*00\r\n");
    EXPECT_EQ(field(ask(m, "H"), 8, 4), "1234");
    EXPECT_EQ(v.nmea().count(sim::NmeaChecksum::Bad), 2);
}
