#include "panel/core/Indicators.h"

#include <gtest/gtest.h>

using namespace panel;

namespace {

int w(int bits) { return 64 + bits; } // a status character carrying these flag bits

struct Words {
    int acu1 = 64, acu2 = 64, err1 = 64, err2 = 64, pcu1 = 64, pcu2 = 64, pcu3 = 64;
};

struct Fixture {
    PanelShared s;
    MainState m;
    Indicators ind{s, m};
    void set(const Words& x)
    {
        s.acuWord1 = x.acu1;
        s.acuWord2 = x.acu2;
        s.acuError1 = x.err1;
        s.acuError2 = x.err2;
        s.pcuWord = {x.pcu1, x.pcu2, x.pcu3, 64};
        ind.Update();
    }
};

std::vector<std::string> checkedCaptions(const std::vector<BitMenuEntry>& menu)
{
    std::vector<std::string> out;
    for (const auto& e : menu)
        if (e.checked)
            out.push_back(e.caption);
    return out;
}

} // namespace

TEST(Indicators, LampsFollowTheirStatusBits)
{
    const struct {
        const char* what;
        Words words;
        int lamp;
        bool lit;
        Rgb colour;
    } cases[] = {
        {"searching", {.acu2 = w(1)}, 1, true, kYellow},
        {"not searching", {.acu2 = w(2)}, 1, false, kYellow},
        {"both axes on target", {.acu2 = w(32 + 16)}, 2, true, kYellow},
        {"only azimuth on target", {.acu2 = w(32)}, 2, false, kYellow},
        {"error word 1 any bit", {.err1 = w(32)}, 4, true, kRed},
        {"error word 2 servo limit", {.err2 = w(4)}, 4, true, kRed},
        {"error word 2 stability limit is no error", {.err2 = w(16)}, 4, false, kRed},
        {"PCU torque limit", {.pcu3 = w(1)}, 4, true, kRed},
        {"PCU critical error bit 5 alone", {.pcu3 = w(32)}, 4, false, kRed},
        {"circlex", {.pcu1 = w(8)}, 5, true, kYellow},
        {"sat ref off", {}, 6, false, kYellow},
        {"sat ref enabled", {.pcu1 = w(16)}, 6, true, kYellow},
        {"sat ref active", {.pcu1 = w(16), .pcu2 = w(16)}, 6, true, kGreen},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.set(c.words);
        const Lamp& l = f.m.lamps[size_t(c.lamp)];
        EXPECT_EQ(l.lit(), c.lit) << c.what;
        if (c.lit) {
            EXPECT_EQ(l.fill, c.colour) << c.what;
        }
    }
}

TEST(Indicators, InitializingLabelShowsTheFirstConditionThatHolds)
{
    const struct {
        Words words;
        const char* caption;
        Rgb colour;
    } cases[] = {
        {{.acu1 = w(4 + 32), .acu2 = w(2 + 4)}, "       Initializing", kYellow},
        {{.acu1 = w(4 + 32), .acu2 = w(4)}, "       Unwrap", kYellow},
        {{.acu1 = w(32), .acu2 = w(4), .err2 = w(16)}, "       Slow Scan", kYellow},
        {{.acu2 = w(4), .err2 = w(16)}, "       Stab Limit", kYellow},
        {{.acu2 = w(4)}, "       Blocked", kYellow},
        {{}, "       Initializing", kGreen},
    };
    for (const auto& c : cases) {
        Fixture f;
        f.set(c.words);
        EXPECT_EQ(f.m.initCaption, c.caption);
        EXPECT_TRUE(f.m.lamps[3].lit());
        EXPECT_EQ(f.m.lamps[3].fill, c.colour) << c.caption;
    }
}

TEST(Indicators, StatusMenusTickTheBitsOfTheirWords)
{
    Fixture f;
    f.set({.acu1 = w(8), .acu2 = w(1 + 32), .err1 = w(2), .err2 = w(8), .pcu1 = w(4), .pcu2 = w(2), .pcu3 = w(16)});
    const auto acu = f.ind.DisplayACU();
    ASSERT_EQ(acu.size(), 13u);
    EXPECT_TRUE(acu[6].separator());
    EXPECT_EQ(acu[0].caption, "Slow Scan"); // bit 5 first
    EXPECT_EQ(checkedCaptions(acu), (std::vector<std::string>{"Tracking", "AZ Target", "Searching"}));
    EXPECT_EQ(checkedCaptions(f.ind.DisplayPCU()),
              (std::vector<std::string>{"Unwrap", "PCU Init", "Stab Limit"}));
    const auto err = f.ind.DisplayError();
    EXPECT_EQ(err.back().caption, "Reset Error Bits");
    EXPECT_EQ(checkedCaptions(err), (std::vector<std::string>{"Converter Type", "Az Reference"}));
}

TEST(Indicators, ErrorWordTwoMissingShowsThePcuTorqueLimitBits)
{
    Fixture f;
    // A status reply too short for the fourth character leaves error word 2 at 0.
    f.set({.err1 = w(0), .err2 = 0, .pcu3 = w(1 + 2)});
    const auto err = f.ind.DisplayError();
    EXPECT_EQ(checkedCaptions(err), (std::vector<std::string>{"LV Servo Limit", "CL Servo Limit"}));
    // With a valid error word 2 its own bits are shown.
    f.set({.err2 = w(0), .pcu3 = w(1 + 2)});
    EXPECT_TRUE(checkedCaptions(f.ind.DisplayError()).empty());
}

TEST(Indicators, SystemTypeToggledTwiceRestoresTheValueAndSendsEachTime)
{
    Fixture f;
    f.s.slot('N') = 65;
    f.ind.SetCheckSys(65);
    EXPECT_TRUE(f.ind.sysChecked()[0]);
    EXPECT_TRUE(f.ind.sysChecked()[6]);
    EXPECT_FALSE(f.ind.sysChecked()[1]);
    f.ind.mnuSysT_Click(1);
    EXPECT_EQ(f.s.typed, "mN067\r\n");
    f.s.typed.clear();
    f.ind.mnuSysT_Click(1);
    EXPECT_EQ(f.s.typed, "mN065\r\n");
    EXPECT_EQ(f.s.slot('N'), 65);
    // Polang Type has not been read yet: a toggle would clear its other bits, so none is sent.
    f.s.typed.clear();
    f.ind.mnuPolT_Click(7);
    EXPECT_EQ(f.s.typed, "");
    f.s.slot('P') = 2;
    f.ind.SetCheckPol(2);
    f.ind.mnuPolT_Click(7);
    EXPECT_EQ(f.s.typed, "mP130\r\n");
    EXPECT_EQ(f.s.slot('N'), 65);
}

TEST(Indicators, ResetErrorBitsAndCirclexQueueTheirCommands)
{
    Fixture f;
    f.ind.mnuResetE_Click();
    EXPECT_EQ(f.s.typed, "&    \r\n?   S\r\n");
    f.ind.CirclexToggle();
    EXPECT_EQ(f.s.typed, "^0067\r\n");
}
