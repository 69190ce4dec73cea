// The simulated GPS and heading sentences: the exact bytes, what the screen shows, the
// settle before "@" and "H", the heading counter and its range reset, the NMEA checksum.
#include "TextBench.h"

#include "terminal/core/Nmea.h"

namespace texttest {
namespace {

using term::Nmea;

class NmeaTest : public ::testing::Test {
protected:
    void SetUp() override { bench.open(); }
    TextBench bench;
    Nmea nmea{bench.t};
};

TEST(NmeaChecksum, XorOfTheCharactersBetweenDollarAndStar)
{
    struct Case {
        std::string sentence;
        std::string sum;
    };
    // Published example sentences with their checksums, and a sentence without "*".
    const Case cases[] = {
        {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A", "6A"},
        {"$GPGLL,4916.45,N,12311.12,W,225444,A,*1D", "1D"},
        {"$GPGLL,4916.45,N,12311.12,W,225444,A", "31"},
        {"$HDHDT,123.4,T*", "2A"},
        {"$*", "00"},
        {"$A", "41"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(term::nmeaChecksum(c.sentence), c.sum) << c.sentence;
}

TEST_F(NmeaTest, GpsSentenceWithStartUpValuesIsShownSentThenAtSign)
{
    const Ms t0 = bench.clock.now();
    EXPECT_TRUE(nmea.SendGPS());
    const std::string sentence = "$GPGLL,3746.000,N,12213.000,W,0,00000,A\r\n";
    EXPECT_EQ(bench.writes(), (std::vector<std::string>{sentence, "@"}));
    const auto times = bench.writeTimes();
    EXPECT_EQ(times[0], t0);
    EXPECT_GE(times[1] - times[0], Ms{term::kGpsSettleMs});
    EXPECT_EQ(bench.t.screen.text(), sentence + "\n");
}

TEST_F(NmeaTest, GpsPositionFormatting)
{
    struct Case {
        int lat, lon;
        std::string sentence;
    };
    const Case cases[] = {
        {3746, 12222, "$GPGLL,3746.000,N,12213.000,W,0,00000,A\r\n"},
        {512, 12250, "$GPGLL,0512.000,N,12230.000,W,0,00000,A\r\n"},
        {0, 199, "$GPGLL,0000.000,N,00159.000,W,0,00000,A\r\n"},  // 99 hundredths: 59.4 minutes
        {9000, 18001, "$GPGLL,9000.000,N,18001.000,W,0,00000,A\r\n"}, // 0.6 minutes round up
    };
    for (const auto& c : cases) {
        nmea.latitudeWord = c.lat;
        nmea.longitudeWord = c.lon;
        EXPECT_EQ(nmea.gpsSentence(), c.sentence);
    }
}

TEST_F(NmeaTest, HeadingSentenceIsShownSentThenHAfterTheSettle)
{
    EXPECT_TRUE(nmea.SendHDG());
    const std::string sentence = "$HDHDT,123.4,T*2A\r\n";
    EXPECT_EQ(bench.writes(), (std::vector<std::string>{sentence, "H"}));
    const auto times = bench.writeTimes();
    EXPECT_GE(times[1] - times[0], Ms{10});
    EXPECT_EQ(bench.t.screen.text(), sentence + "\n");
    EXPECT_EQ(nmea.headingCounter, 1235);
}

TEST_F(NmeaTest, HeadingRangeResetFromStartUpGivesNoneThenOneTenHundred)
{
    // Start-up counter 1234: reset, send; reset, send; ...
    const std::vector<std::string> expected{
        "$HDHDT,,T*00\r\n",      // 1234 > 1000: no heading
        "$HDHDT,1.0,T*2F\r\n",   // 0 -> 10
        "$HDHDT,10.0,T*1F\r\n",  // 11 -> 100
        "$HDHDT,100.0,T*2F\r\n", // 101 -> 1000
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        nmea.ResetHdgRange();
        EXPECT_TRUE(nmea.SendHDG());
    }
    std::vector<std::string> sentences;
    for (const auto& w : bench.writes())
        if (w != "H")
            sentences.push_back(w);
    EXPECT_EQ(sentences, expected);
    EXPECT_EQ(nmea.headingCounter, 1001);
    // Every sentence's checksum is the XOR of its body.
    for (const auto& s : sentences) {
        const auto star = s.find('*');
        EXPECT_EQ(s.substr(star + 1, 2), term::nmeaChecksum(s));
    }
}

TEST_F(NmeaTest, RangeResetTable)
{
    const std::pair<int, int> cases[] = {{0, 10},     {1, 10},      {10, 10},  {11, 100}, {100, 100},
                                         {101, 1000}, {1000, 1000}, {1001, 0}, {1234, 0}, {32767, 0},
                                         {-5, 10}};
    for (const auto& [from, to] : cases) {
        nmea.headingCounter = std::int16_t(from);
        nmea.ResetHdgRange();
        EXPECT_EQ(nmea.headingCounter, to) << "from " << from;
    }
}

TEST_F(NmeaTest, ZeroCounterStaysZeroAndTheTopOfTheRangeStartsAgainAtNone)
{
    nmea.headingCounter = 0;
    nmea.SendHDG();
    nmea.SendHDG();
    EXPECT_EQ(nmea.headingCounter, 0);
    nmea.headingCounter = 32767;
    EXPECT_EQ(nmea.headingSentence(), "$HDHDT,3276.7,T*19\r\n");
    nmea.SendHDG();
    EXPECT_EQ(nmea.headingCounter, 0);
}

TEST_F(NmeaTest, NothingIsSentWhileAnotherSequenceRuns)
{
    term::Terminal::Sequence other(bench.t);
    EXPECT_FALSE(nmea.SendGPS());
    EXPECT_FALSE(nmea.SendHDG());
    EXPECT_TRUE(bench.writes().empty());
    EXPECT_EQ(nmea.headingCounter, 1234);
}

TEST_F(NmeaTest, ClosedLinkWarnsOnceAndSendsNothing)
{
    bench.t.mnuOpen_Click();
    ASSERT_FALSE(bench.t.linkOpen());
    for (bool gps : {true, false}) {
        bench.ui.messages.clear();
        EXPECT_TRUE(gps ? nmea.SendGPS() : nmea.SendHDG());
        EXPECT_TRUE(bench.writes().empty());
        ASSERT_EQ(bench.ui.messages.size(), 1u);
        EXPECT_NE(bench.ui.messages[0].text.find("Operation not allowed while port is closed"), std::string::npos);
    }
}

} // namespace
} // namespace texttest
