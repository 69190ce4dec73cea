#include "sim/OrlaBoot.h"

#include "sim/AcuReplies.h"
#include "sim/NameTable.h"

#include <cmath>
#include <utility>

namespace sim {

namespace {

ByteRole noRole(unsigned char) { return ByteRole::Ignored; }

const NameTable<OrlaBoot::Stream>& streamTable()
{
    static const NameTable<OrlaBoot::Stream> t = {
        {"streaming", OrlaBoot::Stream::Streaming}, {"quiet", OrlaBoot::Stream::Quiet}, {"endless", OrlaBoot::Stream::Endless}};
    return t;
}

const NameTable<OrlaBoot::Start>& startTable()
{
    static const NameTable<OrlaBoot::Start> t = {
        {"application", OrlaBoot::Start::Application}, {"bootloader", OrlaBoot::Start::Bootloader}, {"deaf", OrlaBoot::Start::Deaf}};
    return t;
}

const NameTable<OrlaBoot::EraseFault>& eraseTable()
{
    static const NameTable<OrlaBoot::EraseFault> t = {
        {"ok", OrlaBoot::EraseFault::None}, {"fail", OrlaBoot::EraseFault::Fails}, {"silent", OrlaBoot::EraseFault::Silent}};
    return t;
}

bool isRecordLine(const std::string& line) { return line.size() >= 2 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9'; }

} // namespace

OrlaBoot::OrlaBoot(AcuDevice& device) : TerminalModule(lineEnd::crLf, noRole), device_(device) {}

std::optional<OrlaBoot::Stream> OrlaBoot::streamNamed(std::string_view name) { return named(streamTable(), name); }
const std::vector<std::string_view>& OrlaBoot::streamNames()
{
    static const auto v = namesOf(streamTable());
    return v;
}
std::optional<OrlaBoot::Start> OrlaBoot::startNamed(std::string_view name) { return named(startTable(), name); }
const std::vector<std::string_view>& OrlaBoot::startNames()
{
    static const auto v = namesOf(startTable());
    return v;
}
std::optional<OrlaBoot::EraseFault> OrlaBoot::eraseFaultNamed(std::string_view name) { return named(eraseTable(), name); }
const std::vector<std::string_view>& OrlaBoot::eraseFaultNames()
{
    static const auto v = namesOf(eraseTable());
    return v;
}

void OrlaBoot::setStream(Stream s)
{
    stream_ = s;
    streaming_ = s != Stream::Quiet;
    nextLine_ = now_ + (s == Stream::Endless ? endlessPeriod : streamPeriod);
}

void OrlaBoot::setStart(Start s)
{
    pending_ = Pending::None;
    cutter_.reset();
    deaf_ = s == Start::Deaf;
    silent_ = false;
    mode_ = s == Start::Bootloader ? Mode::Bootloader : Mode::Application;
}

std::string OrlaBoot::streamLine() const
{
    const long az = std::lround(device_.azimuth()) % 3600;
    const long el = std::lround(device_.elevation());
    return "VNT " + reply::digits((lines_ + 1) % 10000, 4) + " AZ " + tenthsText(az, 3) + " EL " + tenthsText(el, 2)
           + " AGC " + reply::digits(device_.signalLevel(), 3) + " TRK";
}

void OrlaBoot::receive(const std::string& bytes)
{
    std::string line;
    bool overlong = false;
    for (char c : bytes) {
        // The Vantor's own bytes act wherever they come.
        if (c == '$' || c == '%') {
            remember(Received::byte(c));
            if (stream_ != Stream::Endless)
                streaming_ = c == '%';
            if (c == '$')
                handle(Received::byte(c));
            continue;
        }
        if (!cutter_.take(c, line, overlong))
            continue;
        if (overlong)
            line.clear(); // answered as an unknown line
        const Received r = Received::line(std::move(line));
        if (!isRecordLine(r.text))
            remember(r);
        handle(r);
    }
}

void OrlaBoot::handle(const Received& r)
{
    if (silent_) {
        if (r.kind == Received::Kind::Line && isRecordLine(r.text))
            ++received_; // counted, not answered
        return;
    }
    if (mode_ == Mode::Application) {
        if (r.kind == Received::Kind::Line && r.text == "^B") {
            if (deaf_)
                return;
            if (faults_.bootFailures > 0) {
                --faults_.bootFailures;
                return;
            }
            mode_ = Mode::Bootloader;
            ++bootStarts_;
            say(banner);
        }
        return; // the application talks to the Vantor, not to the terminal
    }
    if (pending_ == Pending::Erase || pending_ == Pending::Reboot)
        return; // erasing, or about to restart: nothing is taken
    if (r.kind == Received::Kind::Byte) {
        say(menu); // "$"
        return;
    }
    handleBootloader(r.text);
}

void OrlaBoot::handleBootloader(const std::string& line)
{
    if (line == "^B") {
        say(banner);
        return;
    }
    if (line == "^0578") {
        if (faults_.erase == EraseFault::Silent)
            return;
        say(erasing);
        schedule(Pending::Erase, eraseTime);
        return;
    }
    if (!isRecordLine(line)) {
        say("?");
        return;
    }
    ++received_;
    const bool good = image_.take(line) == RecordVerdict::Accepted;
    send(good ? taken : refusedEcho);
    if (good && image_.endSeen())
        schedule(Pending::Crc, crcTime);
    if (faults_.silentAfterRecords > 0 && received_ >= faults_.silentAfterRecords)
        silent_ = true;
}

void OrlaBoot::schedule(Pending what, Ms after)
{
    pending_ = what;
    due_ = now_ + after;
}

void OrlaBoot::tick()
{
    const Ms period = stream_ == Stream::Endless ? endlessPeriod : streamPeriod;
    for (int i = 0; i < maxLinesPerStep && now_ >= nextLine_; ++i) {
        if (streaming_) {
            say(streamLine());
            ++lines_;
        }
        nextLine_ += period;
    }
    if (now_ >= nextLine_) // a long step: the lines it missed are not made up
        nextLine_ = now_ + period;

    if (pending_ == Pending::None || now_ < due_)
        return;
    const Pending what = std::exchange(pending_, Pending::None);
    switch (what) {
    case Pending::None:
        break;
    case Pending::Erase:
        if (faults_.erase == EraseFault::Fails) {
            say(eraseFailed);
            break;
        }
        image_.erase();
        received_ = 0;
        ++erases_;
        say(eraseOk);
        break;
    case Pending::Crc:
        if (silent_)
            break;
        say(image_.refusedAny() || faults_.badCrc ? crcBad : crcGood);
        if (onEnd)
            onEnd(*this);
        schedule(Pending::Reboot, rebootTime);
        break;
    case Pending::Reboot:
        mode_ = Mode::Application;
        break;
    }
}

} // namespace sim
