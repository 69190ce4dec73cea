// The N7 byte: encode and decode, and the tool's Read and Send through the send scheduler's
// sources.
#include "panel/tools/N7.h"

#include "panel/core/PanelState.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using panel::N7Tool;
namespace n7 = panel::n7;

TEST(N7, DecodeOfTypedTextSelectsTheOptionsAndTheirSum)
{
    struct Row {
        const char* text;
        n7::Choice choice; // phase, CL, AZ, EL
        int value;         // what the value box shows afterwards
    };
    const Row rows[] = {
        {"192", {3, 0, 0, 0}, 192},
        {"37", {0, 2, 1, 1}, 37},
        {"300", {0, 2, 3, 0}, 44},     // modulo 256
        {"255", {3, 3, 3, 3}, 255},
        {"0", {0, 0, 0, 0}, 0},
        {"256", {0, 0, 0, 0}, 0},
        {"-10", {3, 3, 1, 2}, 246},    // a negative remainder is the byte's two's complement
        {"-256", {0, 0, 0, 0}, 0},
        {"-300", {3, 1, 1, 0}, 212},   // -300 mod 256 = -44 -> 212
        {"36.5", {0, 2, 1, 0}, 36},    // halves to the even neighbour
        {"37.5", {0, 2, 1, 2}, 38},
        {"-2.5", {3, 3, 3, 2}, 254},   // -2.5 -> -2 -> 254
        {"  70abc", {1, 0, 1, 2}, 70}, // the leading number, as typed text is read
        {".5", {0, 0, 0, 0}, 0},
        {"1e3", {0, 0, 0, 1}, 1},      // no exponents: the number ends at the letter
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text);
        panel::PanelShared shared;
        N7Tool tool(shared);
        tool.text1 = r.text;
        EXPECT_EQ(tool.Text1_Enter(), "");
        EXPECT_EQ(tool.choice(), r.choice);
        EXPECT_EQ(tool.value(), r.value);
        EXPECT_EQ(tool.text1, std::to_string(r.value));
        EXPECT_EQ(n7::Encode(r.choice), r.value);
    }
}

TEST(N7, TextWithoutANumberChangesNothing)
{
    for (const char* text : {"", "   ", "abc", "-", "+.", "n7"}) {
        SCOPED_TRACE(text);
        panel::PanelShared shared;
        N7Tool tool(shared);
        tool.Form_Load();
        tool.text1 = text;
        EXPECT_EQ(tool.Text1_Enter(), N7Tool::kNoNumber);
        EXPECT_EQ(tool.value(), 192);
        EXPECT_EQ(tool.text1, text) << "the box keeps what was typed";
    }
}

TEST(N7, OptionsEncodeByTheirWeightsFromTheFirstLoadOn)
{
    panel::PanelShared shared;
    N7Tool tool(shared);
    int changes = 0;
    tool.changed = [&changes] { ++changes; };
    tool.Form_Load();
    EXPECT_EQ(tool.text1, "192");
    EXPECT_EQ(tool.choice(), (n7::Choice{3, 0, 0, 0}));

    struct Step {
        int group, index;
        int component; // index x weight
        int value;
    };
    const Step steps[] = {
        {n7::CrossLevel, 3, 48, 240},
        {n7::Azimuth, 2, 8, 248},
        {n7::Elevation, 1, 1, 249},
        {n7::Phase, 0, 0, 57},
        {n7::Phase, 4, 0, 57},   // no such option: nothing changes
        {n7::kGroups, 1, 0, 57}, // no such group
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(std::to_string(s.group) + "/" + std::to_string(s.index));
        tool.Option_Click(s.group, s.index);
        if (s.group < n7::kGroups) {
            EXPECT_EQ(tool.component(s.group), s.component);
        }
        EXPECT_EQ(tool.text1, std::to_string(s.value));
    }
    EXPECT_EQ(changes, 5) << "one redraw per accepted click, the first load's included";
}

TEST(N7, ReadAsksWithTheOneShotCommandAndTheAnswerFillsTheValue)
{
    EXPECT_EQ(n7::ReadCommand("\r\n"), "n7999\r\n");
    struct Row {
        const char* line;
        const char* command; // as the ring holds it
        bool taken;
        const char* text1;   // afterwards
        const char* status;
    };
    const Row rows[] = {
        {"n037 7", "n7999\r\n", true, "37", "Read n7 = 37"},
        {"n300 7", "n7999\r\n", true, "192", "The answer \"n300 7\" holds no n7 value - click Read again."},
        {"n###", "n7999\r\n", true, "192", "The PCU was busy and did not answer - click Read again."},
        {"n1", "n7999\r\n", true, "192", "The answer \"n1\" holds no n7 value - click Read again."},
        {"mA123", "n7999\r\n", true, "192", "The answer \"mA123\" holds no n7 value - click Read again."},
        {"n196 7", "!n7999", true, "196", "Read n7 = 196"},    // the dump's form of the command
        {"n008 8", "n8999\r\n", false, "192", "Reading n7 from the PCU ..."}, // another parameter
        {"n037 7", "n7037\r\n", false, "192", "Reading n7 from the PCU ..."}, // a set, not a read
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.line);
        panel::PanelShared shared;
        shared.open = true;
        N7Tool tool(shared);
        tool.Form_Load();
        EXPECT_EQ(tool.Command1_Click(), "");
        EXPECT_EQ(shared.oneShot, "n7999\r\n");
        EXPECT_TRUE(tool.readPending());
        EXPECT_EQ(tool.replyLine(r.line, r.command), r.taken);
        EXPECT_EQ(tool.text1, r.text1);
        EXPECT_EQ(tool.status, r.status);
        EXPECT_EQ(tool.readPending(), !r.taken);
    }

    panel::PanelShared shared;
    shared.open = true;
    N7Tool tool(shared);
    tool.Form_Load();
    EXPECT_FALSE(tool.replyLine("n037 7", "n7999\r\n")) << "no Read asked: a dump's answer is left alone";
    EXPECT_EQ(tool.text1, "192");
}

TEST(N7, SendQueuesTheSetCommandForTheDecodedValue)
{
    struct Row {
        const char* text1;
        const char* typed; // the typed-text queue afterwards
        const char* message;
    };
    const Row rows[] = {
        {"192", "n7192\r\n", ""},
        {"37", "n7037\r\n", ""},
        {"5", "n7005\r\n", ""},
        {"300", "n7044\r\n", ""}, // what the options show after the decode
        {"x", "", N7Tool::kNoNumber},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.text1);
        panel::PanelShared shared;
        shared.open = true;
        N7Tool tool(shared);
        tool.text1 = r.text1;
        EXPECT_EQ(tool.Command2_Click(), r.message);
        EXPECT_EQ(shared.typed, r.typed);
        EXPECT_EQ(shared.oneShot, "");
    }
}

TEST(N7, ReadAndSendWithThePortClosedSayWhyAndQueueNothing)
{
    panel::PanelShared shared;
    N7Tool tool(shared);
    tool.Form_Load();
    EXPECT_EQ(tool.Command1_Click(), N7Tool::kPortClosed);
    EXPECT_EQ(tool.Command2_Click(), N7Tool::kPortClosed);
    EXPECT_FALSE(tool.readPending());
    EXPECT_EQ(shared.oneShot, "");
    EXPECT_EQ(shared.typed, "");
}

} // namespace
