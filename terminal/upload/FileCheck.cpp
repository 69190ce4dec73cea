#include "FileCheck.h"

#include "SRecord.h"

#include <filesystem>
#include <system_error>

namespace upload {

using term::ModulePath;
using Buttons = term::TerminalUi::Buttons;
using Icon = term::TerminalUi::Icon;
using Answer = term::TerminalUi::Answer;

ModuleGroup moduleGroup(ModulePath p)
{
    switch (p) {
    case ModulePath::TAVa:
    case ModulePath::TAV8a:
        return ModuleGroup::Acu;
    case ModulePath::TAVp:
    case ModulePath::TAV8p:
    case ModulePath::USBpcu:
    case ModulePath::SPG2pcu:
        return ModuleGroup::Pcu;
    case ModulePath::TAV8m1:
    case ModulePath::TAV8m2:
        return ModuleGroup::Modem;
    case ModulePath::TAV8mdb:
    case ModulePath::USBmdb:
        return ModuleGroup::MotorDriver;
    case ModulePath::Vantor:
        return ModuleGroup::Vantor;
    case ModulePath::OrlaPCU:
        return ModuleGroup::OrlaPcu;
    case ModulePath::CPCU:
        return ModuleGroup::BrinePcu;
    default:
        return ModuleGroup::None;
    }
}

namespace {

struct GroupText {
    ModuleGroup group;
    const char* first;  // the warning's first line
    const char* second; // and its second
};

constexpr GroupText kWarnings[] = {
    {ModuleGroup::Acu, "TAV 6800 ACU Program Mode is selected and", "Upload file does not have the correct ACU format."},
    {ModuleGroup::Pcu, "PCU Program Mode is selected and", "Upload file does not have the correct PCU format."},
    {ModuleGroup::Modem, "Modem Program Mode is selected and", "Upload file does not have the correct Modem format."},
    {ModuleGroup::MotorDriver, "Motor Driver Program Mode is selected and",
     "Upload file does not have the correct Motor Driver format."},
    {ModuleGroup::Vantor, "Vantor Program Mode is selected and", "Upload file does not have the correct Vantor format."},
    {ModuleGroup::OrlaPcu, "Orla PCU Program Mode is selected and",
     "Upload file does not have the correct Orla PCU format."},
};

const char* const kAreYouSure =
    "Programming with an incorrect file format\rmay render your system inoperative.\r\rQuit now, Yes or No ?";
const char* const kChecksumNotice =
    "NOTICE:\rThis file does not appear to\rhave a checksum module installed\r\rDo you wish to continue?";

// Whether the group's images end otherwise than the last record does (the warning is due).
bool warns(ModuleGroup g, const std::string& record)
{
    auto has = [&record](const char* m) { return record.find(m) != std::string::npos; };
    switch (g) {
    case ModuleGroup::Acu:
        return (has("FFFC") && has("E003")) || !has("F003");
    case ModuleGroup::Pcu:
        return (has("FFFC") && has("F003"))
               || !(has("E003") || has("F803") || has("8000") || has("F200") || has("F088"));
    case ModuleGroup::Modem:
        return !has("F080");
    case ModuleGroup::MotorDriver:
        return !has("F089");
    case ModuleGroup::Vantor:
        return !has("1962") && !has("E003");
    case ModuleGroup::OrlaPcu:
        return !has("F003");
    default:
        return false;
    }
}

// The two questions of a file that does not fit: true when the technician goes on anyway.
bool bypassed(term::Terminal& t, ModuleGroup g)
{
    const GroupText* text = nullptr;
    for (const auto& w : kWarnings)
        if (w.group == g)
            text = &w;
    if (!text)
        return false;
    const std::string warning = std::string(g == ModuleGroup::Acu ? "WARNING," : "WARNING:") + "\r" + text->first
                                + "\r" + text->second + "\r\rContinue anyway, Yes or No ?";
    if (t.ui().ask(warning, "", Buttons::YesNo, Icon::Exclamation, Answer::No) != Answer::Yes)
        return false;
    if (t.ui().ask(kAreYouSure, "Are You Sure?", Buttons::YesNo, Icon::Question, Answer::Yes) != Answer::No)
        return false;
    t.LogLine("PT:  Warnings bypassed");
    return true;
}

} // namespace

namespace {

void warn(term::Terminal& t, const std::string& text) { t.ui().message(text, "", Buttons::Ok, Icon::Exclamation); }

// The file dialog until an existing file is chosen: empty for Cancel; error set (and shown)
// when the file system cannot tell.
std::string chooseExisting(term::Terminal& t, const ChooseFile& choose, const char* title, const char* filter,
                           bool& unreadable)
{
    unreadable = false;
    for (;;) {
        const std::string chosen = choose ? choose(title, filter) : std::string();
        if (chosen.empty())
            return chosen;
        std::error_code ec;
        const bool exists = std::filesystem::exists(chosen, ec);
        if (ec && ec != std::errc::no_such_file_or_directory) {
            warn(t, ec.message());
            unreadable = true;
            return {};
        }
        if (exists)
            return chosen;
        warn(t, chosen + " not found!");
    }
}

} // namespace

CheckResult CheckBinFile(term::Terminal& t, const ChooseFile& choose, std::string& path, std::uint64_t& size)
{
    size = 0;
    bool unreadable = false;
    const std::string chosen = chooseExisting(t, choose, kBinDialogTitle, kBinFilter, unreadable);
    if (chosen.empty())
        return unreadable ? CheckResult::Unreadable : CheckResult::Cancelled;
    path = chosen;
    BinImage bin;
    std::string error;
    if (!checkBinFile(chosen, bin, error)) {
        warn(t, error);
        return CheckResult::Unreadable;
    }
    t.LogLine("PT:  File = " + chosen);
    if (!bin.formatOk) {
        t.ui().ask(kBinFormatWarning, "", Buttons::Ok, Icon::Exclamation, Answer::Ok);
        return CheckResult::Refused;
    }
    t.LogLine("PT:  Checking file size: ");
    size = bin.size;
    return CheckResult::Passed;
}

CheckResult CheckUploadFile(term::Terminal& t, ModulePath path, const ChooseFile& choose, UploadFile& file)
{
    file.verified = false;
    t.ClearScreen();
    t.LogLine("PT:  Module =" + t.moduleLabel);
    bool unreadable = false;
    const std::string chosen = chooseExisting(t, choose, kHexDialogTitle, kHexFilter, unreadable);
    if (chosen.empty())
        return unreadable ? CheckResult::Unreadable : CheckResult::Cancelled;
    file.path = chosen;
    std::vector<std::string> lines;
    std::string error;
    if (!readLines(chosen, lines, error)) {
        warn(t, error);
        return CheckResult::Unreadable;
    }
    t.LogLine("PT:  File = " + chosen);
    file.verified = false;
    file.version.clear();

    const ModuleGroup group = moduleGroup(path);
    const std::string record = lastDataRecord(lines);
    if (group == ModuleGroup::None)
        return CheckResult::Refused;
    if (group == ModuleGroup::BrinePcu) {
        if (record.find("F803") == std::string::npos)
            return CheckResult::Refused;
    } else if (warns(group, record) && !bypassed(t, group)) {
        return CheckResult::Refused;
    }
    if (group == ModuleGroup::Pcu && record.find("8000") != std::string::npos) {
        if (t.ui().ask(kChecksumNotice, "", Buttons::YesNo, Icon::Exclamation, Answer::No) != Answer::Yes)
            return CheckResult::Refused;
        t.LogLine("PT:  Warnings bypassed");
    }

    file.verified = true;
    t.LogLine("PT:  File verification complete! Checking for File version number");
    file.version = findVersion(loadS1Image(lines));
    t.LogLine("PT:  File version number: " + file.version);
    return CheckResult::Passed;
}

} // namespace upload
