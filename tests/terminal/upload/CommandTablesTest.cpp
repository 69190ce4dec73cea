// Start, Erase, Bulk Erase and the "S9" button on every module path: each write byte for
// byte, at the time its settles put it (the fake link's output leaves at once, so TxSettle(n)
// lasts n ms).
#include "UploadFixture.h"

namespace uptest {
namespace {

struct W {
    std::string bytes;
    long at; // ms after the command began
    bool operator==(const W&) const = default;
};
std::ostream& operator<<(std::ostream& os, const W& w)
{
    os << "{\"";
    for (unsigned char c : w.bytes) {
        if (c >= 32 && c < 127)
            os << c;
        else
            os << "<" << int(c) << ">";
    }
    return os << "\" @" << w.at << "}";
}

const std::string VT(1, '\x0b');

// The ACU's remote-upload setup that begins several rows: a restart with four 2 s waits, the
// remote mode (mE163 and a port lock on the Tav 07 PCU and DVB paths), 600 ms.
std::vector<W> remoteSetup(ModulePath p, long& end)
{
    std::vector<W> w = {{ESC + "\\0090" + CRLF, 0}, {ESC + "D", 8000}};
    if (p == ModulePath::TAVp || p == ModulePath::TAVd) {
        w.push_back({"mE163" + CRLF, 8010});
        w.push_back({"[L" + CRLF, 8010});
        end = 8020 + 600;
    } else {
        w.push_back({"mE159" + CRLF, 8010});
        end = 8010 + 600;
    }
    return w;
}

std::vector<W> then(std::vector<W> a, long from, const std::vector<W>& b)
{
    for (const auto& x : b)
        a.push_back({x.bytes, from + x.at});
    return a;
}

bool isAcuPath(ModulePath p) { return p == ModulePath::TAVa || p == ModulePath::TAV8a; }
bool isPcuViaAcu(ModulePath p) { return p == ModulePath::TAVp || p == ModulePath::TAV8p; }
bool isDvbPath(ModulePath p) { return p == ModulePath::TAVd || p == ModulePath::TAV8d || p == ModulePath::CPdvb; }

std::vector<W> startOf(ModulePath p)
{
    long end = 0;
    switch (p) {
    case ModulePath::QM7000:
    case ModulePath::CPCU:
    case ModulePath::Data:
        return {{"^0080" + std::string(1, char(166)) + CRLF, 0}};
    case ModulePath::Cpanel:
    case ModulePath::Dpanel:
        return {{"\x05\x07\x08", 0}};
    case ModulePath::USBpcu:
    case ModulePath::SPG2pcu:
        return {{"^0080" + CRLF, 0}};
    case ModulePath::USBmdb:
        return {{"]0080" + CRLF, 0}};
    case ModulePath::Vantor:
    case ModulePath::OrlaPCU:
        return {}; // their own procedures
    default:
        break;
    }
    if (isAcuPath(p))
        return {{"[L" + CRLF, 0}, {"\\0080" + CRLF, 10}};
    const auto setup = remoteSetup(p, end);
    if (isDvbPath(p))
        return then(setup, end, {{"w!   " + CRLF, 0}, {"wP   " + CRLF, 50}, {"w!   " + CRLF, 350}, {"w!   " + CRLF, 400}});
    if (p == ModulePath::TAV8m1 || p == ModulePath::TAV8m2)
        return then(setup, end,
                    {{std::string(p == ModulePath::TAV8m1 ? "?<" : "?>") + CRLF, 0}, {"#0080" + CRLF, 10},
                     {"#0" + VT + "  " + CRLF, 20}, {"#!   " + CRLF, 220}});
    if (p == ModulePath::TAV8mdb)
        return then(setup, end,
                    {{"^0086" + CRLF, 0}, {"?]" + CRLF, 200}, {"#0080" + CRLF, 210}, {"#" + VT + "  " + CRLF, 220},
                     {"#!   " + CRLF, 820}});
    // The PCU through the ACU, and the paths the table names nowhere (the SLCD).
    return then(setup, end,
                {{"^0086" + CRLF, 0}, {"?^" + CRLF, 200}, {"#0080" + CRLF, 210}, {"#" + VT + "  " + CRLF, 220},
                 {"#!   " + CRLF, 720}});
}

std::vector<W> eraseOf(ModulePath p)
{
    if (isAcuPath(p) || p == ModulePath::Dpanel || p == ModulePath::Vantor)
        return {{"^0578" + CRLF, 0}};
    if (isPcuViaAcu(p))
        return {{"?    " + CRLF, 0}, {"#^057" + CRLF, 10}, {"#8   " + CRLF, 20}, {"#!   " + CRLF, 520}};
    if (isDvbPath(p))
        return {{"w^057" + CRLF, 0}, {"w8   " + CRLF, 10}, {"w!   " + CRLF, 510}, {"w!   " + CRLF, 520}};
    switch (p) {
    case ModulePath::Cpanel: return {{"S119", 0}};
    case ModulePath::USBpcu:
    case ModulePath::SPG2pcu: return {{"^0578\r", 0}};
    case ModulePath::USBmdb: return {{"]0578" + CRLF, 0}};
    case ModulePath::TAV8mdb:
        return {{"?    " + CRLF, 0}, {"#]057" + CRLF, 10}, {"#8   " + CRLF, 20}, {"#" + VT + "  " + CRLF, 30},
                {"#!   " + CRLF, 1030}};
    case ModulePath::TAV8m1:
    case ModulePath::TAV8m2:
        return {{"?    " + CRLF, 0}, {"#<057" + CRLF, 10}, {"#8   " + CRLF, 20}, {"#!   " + CRLF, 270}};
    case ModulePath::SLCD: return {{"^378" + CRLF, 0}};
    case ModulePath::OrlaPCU: return {}; // its own erase attempts
    default: return {{"^0578", 0}};
    }
}

std::vector<W> bulkEraseOf(ModulePath p)
{
    if (isAcuPath(p))
        return {{"^0577" + CRLF, 0}};
    if (isPcuViaAcu(p))
        return {{"?    " + CRLF, 0}, {"#^057" + CRLF, 10}, {"#7!  " + CRLF, 20}};
    if (isDvbPath(p))
        return {{"w^057" + CRLF, 0}, {"w7   " + CRLF, 10}, {"w!   " + CRLF, 510}};
    return {{"^0577", 0}};
}

std::vector<W> restartBootOf(ModulePath p)
{
    if (p == ModulePath::TAVd || p == ModulePath::TAV8d)
        return {{"wS9  " + CRLF, 0}};
    if (isPcuViaAcu(p))
        return {{"? " + CRLF, 0}, {"#S9  " + CRLF, 0}, {"#!   " + CRLF, 500}};
    return {};
}

class CommandTablesTest : public UploadFixture, public ::testing::Test {
protected:
    std::vector<W> run(const std::function<bool()>& command)
    {
        const Ms began = clock.now();
        EXPECT_TRUE(command());
        std::vector<W> got;
        for (const auto& x : journal.writes)
            got.push_back({x.bytes, long((x.at - began).count())});
        return got;
    }
};

TEST_F(CommandTablesTest, EveryPathSendsItsRowOfEachTable)
{
    const struct {
        const char* table;
        std::function<bool(upload::UploadEngine&)> command;
        std::vector<W> (*expected)(ModulePath);
    } tables[] = {
        {"start", [](upload::UploadEngine& e) { return e.cmdStart_Click(); }, startOf},
        {"erase", [](upload::UploadEngine& e) { return e.cmdErase_Click(); }, eraseOf},
        {"bulk erase", [](upload::UploadEngine& e) { return e.mnuBulk_Click(); }, bulkEraseOf},
        {"S9", [](upload::UploadEngine& e) { return e.Command5_Click(); }, restartBootOf},
    };
    for (const auto& table : tables) {
        for (const auto& row : term::modulePathTable()) {
            if (row.path == ModulePath::Vantor || row.path == ModulePath::OrlaPCU)
                continue; // procedures of their own
            SCOPED_TRACE(std::string(table.table) + " on " + row.menu);
            onPath(row.path);
            EXPECT_EQ(run([&] { return table.command(engine); }), table.expected(row.path));
        }
    }
}

TEST_F(CommandTablesTest, NoCommandRunsUnderAnotherSequenceOrGoesOnPastAClosedLink)
{
    onPath(ModulePath::TAV8p);
    {
        term::Terminal::Sequence other(t);
        EXPECT_FALSE(engine.cmdStart_Click());
        EXPECT_FALSE(engine.cmdErase_Click());
        EXPECT_FALSE(engine.mnuBulk_Click());
        EXPECT_FALSE(engine.Command5_Click());
        EXPECT_FALSE(engine.mnuRem_Click());
        EXPECT_EQ(engine.mnuSendHex_Click(), upload::UploadEngine::TransferResult::Busy);
        EXPECT_EQ(engine.mnuUpload_Click(), upload::UploadEngine::TransferResult::Busy);
        upload::AutoUpload autoUpload(engine);
        EXPECT_EQ(autoUpload.cmdAUpload_Click(), upload::UploadResult::Busy);
    }
    EXPECT_TRUE(dialogs.empty());
    EXPECT_TRUE(writes().empty());
    // With the link closed the first line warns once and the rest are not tried.
    t.mnuOpen_Click();
    ui.messages.clear();
    EXPECT_TRUE(engine.cmdErase_Click());
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_LT(clock.now(), Ms{10});
}

// The Vantor's bootloader start: the port is closed under it and opened again.
TEST_F(CommandTablesTest, TheVantorBootloaderStartReopensThePortAndAsksForItsVersion)
{
    onPath(ModulePath::Vantor);
    journal.events.clear();
    onWrite = [this](const std::string& bytes) {
        if (bytes == "verB" + CRLF)
            link->receive("Vantor BL Ver 1.0\r\n");
    };
    EXPECT_TRUE(engine.cmdStart_Click());
    EXPECT_EQ(writes(), (std::vector<std::string>{"^BL" + CRLF, "verB" + CRLF}));
    EXPECT_EQ(journal.events.front(), "close");
    EXPECT_EQ(journal.events.back(), "open") << "the port is open again";
    EXPECT_EQ(std::count(journal.events.begin(), journal.events.end(), "open"), 1);
    const auto lines = screenLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "PT:  Bootloader start is sucessful!"), lines.end());
    EXPECT_EQ(t.abortFlag, 0);

    journal = {};
    ui.messages.clear();
    onWrite = nullptr;
    EXPECT_TRUE(engine.cmdStart_Click());
    const auto after = screenLines();
    EXPECT_EQ(after.back(), "PT:  Bootloader start not sucessful, check Comm port and try again");
    EXPECT_NE(t.abortFlag, 0);
}

} // namespace
} // namespace uptest
