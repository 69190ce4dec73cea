#include "sim/PcuDirectBoot.h"

#include <cctype>

namespace sim {

namespace {

// Every printable character opens a line; everything else between lines is ignored.
ByteRole directRole(unsigned char c)
{
    return c > ' ' && c < 127 ? ByteRole::Lead : ByteRole::Ignored;
}

std::string withoutTrailingBlanks(const std::string& s)
{
    const auto end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

bool isRecordText(const std::string& t)
{
    return t.size() >= 2 && t[0] == 'S' && std::isdigit(static_cast<unsigned char>(t[1]));
}

constexpr std::size_t kCommandsKept = 64;

} // namespace

// ------------------------------------------------------------------ PCU and motor driver

PcuDirectBoot::PcuDirectBoot(Kind kind) : UnitBoot(lineEnd::crLf, directRole), kind_(kind)
{
    configure({});
}

void PcuDirectBoot::configure(UnitSetup s)
{
    reset(std::move(s), kind_ == Kind::MdeUsb ? mdeDefaultVersion : pcuDefaultVersion);
    pending_.cancel();
    goneSince_ = false;
}

bool PcuDirectBoot::linkDropDue() const
{
    return (goneSince_ && now_ < goneUntil_) || TerminalModule::linkDropDue();
}

const char* PcuDirectBoot::banner() const
{
    switch (kind_) {
    case Kind::PcuUsb: return pcuUsbBanner;
    case Kind::PcuService: return pcuServiceBanner;
    case Kind::MdeUsb: break;
    }
    return mdeUsbBanner;
}

bool PcuDirectBoot::keeps(const Received& r) const
{
    return !isRecordText(r.text); // the records are kept in boot().records()
}

void PcuDirectBoot::handle(const Received& r)
{
    if (setup_.start == UnitSetup::Start::Silent || setup_.start == UnitSetup::Start::UnitSilent || fellSilent_)
        return;
    if (!present() || !pending_.idle())
        return; // restarting or erasing: nothing is taken
    const std::string line = withoutTrailingBlanks(r.text);
    const bool mde = kind_ == Kind::MdeUsb;
    if (line == (mde ? "]0080" : "^0080")) {
        if (!startAccepted())
            return;
        if (bootloader_)
            say(banner());
        else
            schedule(Pending::ToBootloader, restartTime);
        return;
    }
    if (!bootloader_) {
        if (line == (mde ? "*" : "?V"))
            say(std::string(mde ? "MDB V" : "PCU VER ") + version_);
        else
            say(unknown);
        return;
    }
    if (line == (mde ? "]0578" : "^0578")) {
        send(erasing);
        schedule(Pending::EraseDone, eraseTime);
        return;
    }
    if (line == "S9") {
        schedule(Pending::ToApplication, restartTime); // the bootloader's restart
        return;
    }
    if (!isRecordText(line)) {
        say(unknown);
        return;
    }
    say(line); // the echo
    const bool wasEnd = boot().endSeen();
    if (takeRecord(line) != RecordVerdict::Accepted)
        say(refused);
    if (!wasEnd && boot().endSeen()) {
        const bool bad = boot().refusedSinceErase();
        say(setup_.noOk ? doneWithoutOk : bad ? failed : ok);
        if (!bad)
            schedule(Pending::ToApplication, restartTime);
    }
}

void PcuDirectBoot::schedule(Pending what, Ms after)
{
    pending_.schedule(what, now_ + after);
}

void PcuDirectBoot::tick()
{
    const Pending what = pending_.takeDue(now_);
    if (what == Pending::None)
        return;
    switch (what) {
    case Pending::None:
        break;
    case Pending::ToBootloader:
        bootloader_ = true;
        mem_.forget();
        say(banner());
        break;
    case Pending::ToApplication:
        bootloader_ = false;
        if (usb()) {
            // The USB device goes while the unit restarts and comes back with its application.
            goneSince_ = true;
            goneUntil_ = now_ + setup_.goneFor;
            ++restarts_;
        }
        break;
    case Pending::EraseDone:
        if (setup_.refuseErase) {
            say(eraseFailed);
            break;
        }
        mem_.erase();
        say(eraseDone);
        break;
    }
}

// ------------------------------------------------------------------ Brine PCU

BrineBoot::BrineBoot() : UnitBoot(lineEnd::crLf, directRole)
{
    configure({});
}

void BrineBoot::configure(UnitSetup s)
{
    reset(std::move(s), defaultVersion);
    caret_.clear();
    pending_.cancel();
}

void BrineBoot::receive(const std::string& bytes)
{
    for (char c : bytes) {
        if (!caret_.empty()) {
            caret_.push_back(c);
            if (caret_.size() == 5) {
                command(caret_);
                caret_.clear();
            }
            continue;
        }
        if (c == '^' && !lineOpen()) {
            caret_.assign(1, c);
            continue;
        }
        TerminalModule::receive(std::string(1, c));
    }
}

void BrineBoot::command(const std::string& cmd)
{
    commands_.push_back(cmd);
    if (commands_.size() > kCommandsKept)
        commands_.erase(commands_.begin());
    if (setup_.start == UnitSetup::Start::Silent || setup_.start == UnitSetup::Start::UnitSilent || fellSilent_)
        return;
    if (!pending_.idle())
        return;
    if (cmd == "^0080") {
        if (!startAccepted())
            return;
        if (bootloader_)
            say(banner);
        else
            schedule(Pending::ToBootloader, restartTime);
    } else if (cmd == "^0578") {
        bootloader_ = true; // the application hands over to the bootloader for the erase
        send(erasing);
        schedule(Pending::EraseDone, eraseTime);
    }
}

void BrineBoot::handle(const Received& r)
{
    if (setup_.start == UnitSetup::Start::Silent || setup_.start == UnitSetup::Start::UnitSilent || fellSilent_)
        return;
    if (!pending_.idle())
        return;
    const std::string line = withoutTrailingBlanks(r.text);
    if (!bootloader_) {
        if (line == "V")
            say(versionAnswer + version_);
        return;
    }
    if (!isRecordText(line))
        return;
    const bool wasEnd = boot().endSeen();
    if (takeRecord(line) != RecordVerdict::Accepted)
        send(refused);
    if (!wasEnd && boot().endSeen()) {
        const bool bad = boot().refusedSinceErase();
        say(bad ? loadFailed : loadOk);
        if (!bad)
            schedule(Pending::ToApplication, restartTime);
    }
}

void BrineBoot::schedule(Pending what, Ms after)
{
    pending_.schedule(what, now_ + after);
}

void BrineBoot::tick()
{
    const Pending what = pending_.takeDue(now_);
    if (what == Pending::None)
        return;
    switch (what) {
    case Pending::None:
        break;
    case Pending::ToBootloader:
        bootloader_ = true;
        mem_.forget();
        say(banner);
        break;
    case Pending::ToApplication:
        bootloader_ = false;
        break;
    case Pending::EraseDone:
        if (setup_.refuseErase) {
            say(eraseFailed);
            break;
        }
        mem_.erase();
        say(eraseDone);
        break;
    }
}

} // namespace sim
