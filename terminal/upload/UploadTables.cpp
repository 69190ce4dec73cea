#include "UploadTables.h"

#include <algorithm>

namespace upload {

using term::ModulePath;
using K = Step::Kind;

namespace {

const std::string kCrLf = "\r\n";
const std::string kVt(1, '\x0b');

Step send(const std::string& bytes) { return {K::Send, bytes, 0}; }
Step line(const std::string& text) { return {K::Send, text + kCrLf, 0}; }
Step settle(int ms) { return {K::Settle, {}, ms}; }
Step action(K kind) { return {kind, {}, 0}; }

const std::vector<ModulePath> kAcu = {ModulePath::TAVa, ModulePath::TAV8a};
const std::vector<ModulePath> kPcuViaAcu = {ModulePath::TAVp, ModulePath::TAV8p};
const std::vector<ModulePath> kDvb = {ModulePath::TAVd, ModulePath::TAV8d, ModulePath::CPdvb};
const std::vector<ModulePath> kModems = {ModulePath::TAV8m1, ModulePath::TAV8m2};

bool in(const std::vector<ModulePath>& group, ModulePath p) { return std::find(group.begin(), group.end(), p) != group.end(); }

} // namespace

bool isAcu(ModulePath p) { return in(kAcu, p); }
bool isPcuViaAcu(ModulePath p) { return in(kPcuViaAcu, p); }
bool isDvb(ModulePath p) { return in(kDvb, p); }
bool isModem(ModulePath p) { return in(kModems, p); }
bool isAcuRouted(ModulePath p) { return isAcu(p) || isPcuViaAcu(p) || isDvb(p) || isModem(p) || p == ModulePath::TAV8mdb; }
char fragmentPrefix(ModulePath p) { return isDvb(p) ? 'w' : '#'; }

const std::vector<StepRow>& startTable()
{
    static const std::vector<StepRow> t = {
        {{ModulePath::QM7000, ModulePath::CPCU, ModulePath::Data}, {send("^0080" + std::string(1, char(166)) + kCrLf)}},
        {{ModulePath::Cpanel, ModulePath::Dpanel}, {send("\x05\x07\x08")}},
        {{ModulePath::Vantor}, {action(K::VantorBootStart)}},
        {{ModulePath::OrlaPCU}, {action(K::OrlaBootStart)}},
        {{ModulePath::USBpcu, ModulePath::SPG2pcu}, {line("^0080")}},
        {{ModulePath::USBmdb}, {line("]0080")}},
        {kAcu, {line("[L"), settle(10), line("\\0080")}},
        {kDvb,
         {action(K::RemoteSetup), line("w!   "), settle(50), line("wP   "), settle(300), line("w!   "), settle(50),
          line("w!   ")}},
        {{ModulePath::TAV8m1},
         {action(K::RemoteSetup), line("?<"), settle(10), line("#0080"), settle(10), line("#0" + kVt + "  "),
          settle(200), line("#!   ")}},
        {{ModulePath::TAV8m2},
         {action(K::RemoteSetup), line("?>"), settle(10), line("#0080"), settle(10), line("#0" + kVt + "  "),
          settle(200), line("#!   ")}},
        {{ModulePath::TAV8mdb},
         {action(K::RemoteSetup), line("^0086"), settle(200), line("?]"), settle(10), line("#0080"), settle(10),
          line("#" + kVt + "  "), settle(600), line("#!   ")}},
        // The PCU through the ACU, and every path not named above.
        {{},
         {action(K::RemoteSetup), line("^0086"), settle(200), line("?^"), settle(10), line("#0080"), settle(10),
          line("#" + kVt + "  "), settle(500), line("#!   ")}},
    };
    return t;
}

const std::vector<StepRow>& eraseTable()
{
    static const std::vector<StepRow> t = {
        {{ModulePath::TAVa, ModulePath::TAV8a, ModulePath::Dpanel, ModulePath::Vantor}, {line("^0578")}},
        {{ModulePath::Cpanel}, {send("S119")}},
        {{ModulePath::USBpcu, ModulePath::SPG2pcu}, {send("^0578\r")}},
        {{ModulePath::OrlaPCU}, {action(K::OrlaErase)}},
        {{ModulePath::USBmdb}, {line("]0578")}},
        {kPcuViaAcu, {line("?    "), settle(10), line("#^057"), settle(10), line("#8   "), settle(500), line("#!   ")}},
        {{ModulePath::TAV8mdb},
         {line("?    "), settle(10), line("#]057"), settle(10), line("#8   "), settle(10), line("#" + kVt + "  "),
          settle(1000), line("#!   ")}},
        {kModems, {line("?    "), settle(10), line("#<057"), settle(10), line("#8   "), settle(250), line("#!   ")}},
        {kDvb, {line("w^057"), settle(10), line("w8   "), settle(500), line("w!   "), settle(10), line("w!   ")}},
        {{ModulePath::SLCD}, {line("^378")}},
        {{}, {send("^0578")}},
    };
    return t;
}

const std::vector<StepRow>& bulkEraseTable()
{
    static const std::vector<StepRow> t = {
        {kAcu, {line("^0577")}},
        {kPcuViaAcu, {line("?    "), settle(10), line("#^057"), settle(10), line("#7!  ")}},
        {kDvb, {line("w^057"), settle(10), line("w7   "), settle(500), line("w!   ")}},
        {{}, {send("^0577")}},
    };
    return t;
}

const std::vector<StepRow>& restartBootTable()
{
    static const std::vector<StepRow> t = {
        {{ModulePath::TAVd, ModulePath::TAV8d}, {line("wS9  ")}},
        {kPcuViaAcu, {line("? "), line("#S9  "), settle(500), line("#!   ")}},
    };
    return t;
}

const std::vector<Step>& stepsFor(const std::vector<StepRow>& table, ModulePath p)
{
    static const std::vector<Step> none;
    const StepRow* fallback = nullptr;
    for (const auto& row : table) {
        if (row.paths.empty())
            fallback = &row;
        else if (in(row.paths, p))
            return row.steps;
    }
    return fallback ? fallback->steps : none;
}

} // namespace upload
