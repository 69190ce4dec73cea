#include "sim/PcuBoot.h"
#include "sim/NameTable.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace sim {

namespace {

// The ACU's command bytes (as "acu-terminal"), and the "#" lines of its translation port.
ByteRole routedRole(unsigned char c)
{
    if (c == '#')
        return ByteRole::Lead;
    if (c == 'W' || CommandParser::isQueryByte(c))
        return ByteRole::Immediate;
    return CommandParser::isLeadByte(c) ? ByteRole::Lead : ByteRole::Ignored;
}

std::string withoutTrailingBlanks(const std::string& s)
{
    const auto end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// What a "?" or "#" line adds to the pass-through line: its characters, blanks and VT left out.
std::string payload(std::string_view s)
{
    std::string out;
    for (char c : s)
        if (c != ' ' && c != '\x0b')
            out.push_back(c);
    return out;
}

// The longest pass-through line kept: one record of the longest kind and a fragment's padding.
constexpr std::size_t kMaxPassThrough = RecordJoiner::maxRecordChars + 8;
constexpr std::size_t kPassedKept = 256;

const NameTable<UnitSetup::Start>& startTable()
{
    static const NameTable<UnitSetup::Start> t = {
        {"application", UnitSetup::Start::Application},
        {"bootloader", UnitSetup::Start::Bootloader},
        {"silent", UnitSetup::Start::Silent},
        {"unit-silent", UnitSetup::Start::UnitSilent},
    };
    return t;
}

} // namespace

// ------------------------------------------------------------------ memory

void BootMemory::newTransfer()
{
    records_.clear();
    received_ = accepted_ = dataRecords_ = 0;
    endSeen_ = false;
    endType_ = 0;
    refused_ = false;
}

void BootMemory::erase()
{
    std::fill(memory_.begin(), memory_.end(), std::uint8_t{0xFF});
    newTransfer();
    erased_ = true;
    ++erases_;
}

void BootMemory::forget()
{
    newTransfer();
    erased_ = false;
}

RecordVerdict BootMemory::take(const std::string& text, int refuseRecord)
{
    BootRecord rec;
    RecordVerdict v = readRecord(text, rec);
    ++received_;
    if (v == RecordVerdict::Accepted) {
        if (!erased_)
            v = RecordVerdict::BeforeErase;
        else if (endSeen_)
            v = RecordVerdict::AfterEnd;
        else if (rec.type == '1' && rec.address + rec.data.size() > memorySize)
            v = RecordVerdict::OutOfRange;
        else if ((rec.type == '5' || rec.type == '6') && rec.address != static_cast<std::uint32_t>(dataRecords_))
            v = RecordVerdict::CountMismatch;
        else if (received_ == refuseRecord)
            v = RecordVerdict::FaultRefused;
    }
    rec.verdict = v;
    if (rec.accepted()) {
        ++accepted_;
        switch (rec.type) {
        case '1':
            std::copy(rec.data.begin(), rec.data.end(), memory_.begin() + rec.address);
            ++dataRecords_;
            break;
        case '2': case '3':
            ++dataRecords_;
            break;
        case '7': case '8': case '9':
            endSeen_ = true;
            endType_ = rec.type;
            break;
        default:
            break;
        }
    } else {
        refused_ = true;
    }
    if (records_.size() < maxRecordsKept)
        records_.push_back(std::move(rec));
    return v;
}

// ------------------------------------------------------------------ setup

std::optional<UnitSetup::Start> UnitSetup::startNamed(std::string_view name) { return named(startTable(), name); }

const std::vector<std::string_view>& UnitSetup::startNames()
{
    static const auto names = namesOf(startTable());
    return names;
}

void UnitBoot::reset(UnitSetup s, const char* defaultVersion)
{
    setup_ = std::move(s);
    setup_.statusLength = std::clamp(setup_.statusLength, 3, maxStatusLength);
    version_ = setup_.version.empty() ? std::string(defaultVersion) : setup_.version;
    bootloader_ = setup_.start == UnitSetup::Start::Bootloader;
    fellSilent_ = false;
    starts_ = 0;
    mem_.forget();
    dropPartialLine();
}

bool UnitBoot::startAccepted()
{
    ++starts_;
    if (bootloader_)
        return true;
    return setup_.bootOnTry > 0 && starts_ >= setup_.bootOnTry;
}

RecordVerdict UnitBoot::takeRecord(const std::string& text)
{
    const bool wasEnd = mem_.endSeen();
    const RecordVerdict v = mem_.take(text, setup_.refuseRecord);
    if (!wasEnd && mem_.endSeen() && setup_.onEnd)
        setup_.onEnd(mem_);
    if (setup_.silentAfterRecords > 0 && mem_.recordsReceived() >= setup_.silentAfterRecords)
        fellSilent_ = true;
    return v;
}

// ------------------------------------------------------------------ the units behind the ACU

PcuBoot::PcuBoot(AcuDevice& device, Unit unit)
    : UnitBoot(lineEnd::crLf, routedRole), acu_(device), unit_(unit)
{
    configure({});
}

void PcuBoot::configure(UnitSetup s)
{
    reset(std::move(s), unit_ == Unit::Pcu ? pcuDefaultVersion : unit_ == Unit::Mde ? mdeDefaultVersion
                                                                                    : modemDefaultVersion);
    silent_ = setup_.start == UnitSetup::Start::Silent;
    remote_ = drivesOff_ = verdictDue_ = false;
    open_.reset();
    joiner_.reset();
    pending_.cancel();
    acuBackAt_ = now_;
}

bool PcuBoot::unitAnswers() const
{
    return !silent_ && setup_.start != UnitSetup::Start::UnitSilent && !fellSilent_;
}

const char* PcuBoot::startText() const
{
    switch (unit_) {
    case Unit::Pcu: return "^0080";
    case Unit::Mde: return "]0080";
    case Unit::Modem: break;
    }
    return "<0080";
}

bool PcuBoot::isEraseText(const std::string& text) const
{
    switch (unit_) {
    case Unit::Pcu: return text == "^0578";
    case Unit::Mde: return text == "]0578";
    case Unit::Modem: break;
    }
    return text == "<0578" || text == ">0578";
}

bool PcuBoot::keeps(const Received& r) const
{
    // Fragments and the blank "?" lines that open them are not worth keeping.
    if (r.kind != Received::Kind::Line)
        return true;
    return !(r.text[0] == '#' || (r.text[0] == '?' && payload(std::string_view(r.text).substr(1)).empty()));
}

void PcuBoot::handle(const Received& r)
{
    if (silent_)
        return;
    // The communications interface answers its own lines whatever the ACU is doing.
    if (r.kind == Received::Kind::Line) {
        const std::string t = withoutTrailingBlanks(r.text);
        if (t == "[L" || t == "[Z") {
            send(commPrompt);
            return;
        }
    }
    if (now_ < acuBackAt_)
        return; // the ACU restarts and takes nothing
    if (r.kind == Received::Kind::Byte) {
        acuCommand(r);
        return;
    }
    const std::string_view rest = std::string_view(r.text).substr(1);
    if (r.text[0] == '?') {
        const std::string what = payload(rest);
        if (what.size() == 1 && std::isalpha(static_cast<unsigned char>(what[0]))) {
            query(what[0]);
            return;
        }
        // A new pass-through line; one still open goes to the unit first.
        if (open_)
            deliver(std::exchange(*open_, std::string()));
        open_ = what;
        return;
    }
    if (r.text[0] == '#') {
        if (withoutTrailingBlanks(std::string(rest)) == "!") {
            if (open_) {
                std::string text = std::move(*open_);
                open_.reset();
                deliver(text);
            } else {
                endOfTransfer();
            }
            return;
        }
        if (open_) {
            *open_ += payload(rest);
            if (open_->size() > kMaxPassThrough)
                open_.reset(); // no line of the unit is this long: dropped
        }
        return;
    }
    acuCommand(r);
}

void PcuBoot::acuCommand(const Received& r)
{
    if (r.kind == Received::Kind::Line) {
        const std::string line = withoutTrailingBlanks(r.text);
        if (line == "n0000") {
            drivesOff_ = true; // the PCU's motor drives: off, nothing answered
            return;
        }
        if (!line.empty() && line[0] == '^') {
            // "^0086" readies the pass-through, "^0090" restarts the PCU (its drives come back):
            // neither is answered.
            if (line == "^0090")
                drivesOff_ = false;
            return;
        }
    }
    std::string bytes = r.escaped ? std::string(1, ESC) : std::string();
    bytes += r.text;
    if (r.kind == Received::Kind::Line)
        bytes += '\r';
    acu_.receive(bytes);
    send(acu_.takeOutput());
    if (r.kind == Received::Kind::Line) {
        const std::string line = withoutTrailingBlanks(r.text);
        if (line == "mE159" || line == "mE163") {
            remote_ = true;
        } else if (line == "\\0090") {
            remote_ = false;
            open_.reset();
            acuBackAt_ = now_ + acuRestartTime;
        }
    }
}

void PcuBoot::query(char letter)
{
    // The PCU answers its queries; behind the ACU it is the unit itself only on "pcu-boot".
    if (unit_ == Unit::Pcu && !unitAnswers())
        return;
    const bool pcuInBoot = unit_ == Unit::Pcu && bootloader_;
    if (letter == 'S')
        say(pcuInBoot ? std::string(pcuBootStatus) : "S" + std::string(std::size_t(setup_.statusLength - 3), '@'));
    else if (letter == 'V' && !pcuInBoot)
        say("PCU VER " + std::string(unit_ == Unit::Pcu ? version_ : std::string(pcuDefaultVersion)));
    else
        say(unknown);
}

void PcuBoot::deliver(const std::string& text)
{
    passed_.push_back(text);
    if (passed_.size() > kPassedKept)
        passed_.erase(passed_.begin());
    if (unitAnswers())
        unitCommand(text);
}

void PcuBoot::unitCommand(const std::string& text)
{
    if (!pending_.idle())
        return; // restarting or erasing: the unit takes nothing
    if (text.rfind(startText(), 0) == 0 || (unit_ == Unit::Modem && text.rfind(">0080", 0) == 0)) {
        if (!startAccepted())
            return;
        if (bootloader_)
            say(unit_ == Unit::Pcu ? pcuBanner : unit_ == Unit::Mde ? mdeBanner : modemBanner);
        else
            schedule(Pending::ToBootloader, restartTime);
        return;
    }
    if (isEraseText(text)) {
        // A modem's application hands over to its bootloader for the erase; the PCU's and the
        // motor driver's take it only in the bootloader.
        if (!bootloader_ && unit_ != Unit::Modem)
            return;
        bootloader_ = true;
        joiner_.reset();
        send(erasing);
        schedule(Pending::EraseDone, eraseTime);
        return;
    }
    if (!bootloader_)
        return;
    if (text == "S9") {
        schedule(Pending::ToApplication, restartTime); // the bootloader's restart ("S9" button)
        return;
    }
    if (text.size() >= 2 && text[0] == 'S' && std::isdigit(static_cast<unsigned char>(text[1]))) {
        std::vector<std::string> joined;
        // A record the line ends in the middle of is broken off by the "|".
        joiner_.feed(text + "|", joined);
        for (const auto& record : joined) {
            if (fellSilent_)
                break;
            const bool wasEnd = boot().endSeen();
            if (takeRecord(record) != RecordVerdict::Accepted) {
                send(std::string(1, refusedMark(unit_)));
            } else if (!wasEnd && boot().endSeen()) {
                if (unit_ == Unit::Mde) {
                    verdictDue_ = true; // said on the next end-of-transfer line
                } else {
                    say(boot().refusedSinceErase() ? loadFailed : loadOk);
                    if (!boot().refusedSinceErase())
                        schedule(Pending::ToApplication, restartTime);
                }
            }
        }
        return;
    }
    say(unknown);
}

void PcuBoot::endOfTransfer()
{
    if (!verdictDue_ || !unitAnswers())
        return;
    verdictDue_ = false;
    const bool failed = boot().refusedSinceErase();
    say(failed ? mdeLoadFailed : loadOk);
    if (!failed)
        schedule(Pending::ToApplication, restartTime);
}

void PcuBoot::schedule(Pending what, Ms after)
{
    pending_.schedule(what, now_ + after);
}

void PcuBoot::tick()
{
    acu_.advance(now_ - acu_.now());
    const Pending what = pending_.takeDue(now_);
    if (what == Pending::None)
        return;
    switch (what) {
    case Pending::None:
        break;
    case Pending::ToBootloader:
        bootloader_ = true;
        mem_.forget();
        joiner_.reset();
        if (unitAnswers())
            say(unit_ == Unit::Pcu ? pcuBanner : unit_ == Unit::Mde ? mdeBanner : modemBanner);
        break;
    case Pending::ToApplication:
        bootloader_ = false; // the new program runs; the memory and the records stay to be read
        joiner_.reset();
        break;
    case Pending::EraseDone:
        if (!unitAnswers())
            break;
        if (setup_.refuseErase) {
            say(eraseFailed);
            break;
        }
        mem_.erase();
        joiner_.reset();
        say(eraseDone);
        break;
    }
}

} // namespace sim
