#include "sim/VantorBoot.h"
#include "sim/NameTable.h"

#include <algorithm>
#include <utility>

namespace sim {

namespace {

// The common framing is not used: these modules cut their own lines.
ByteRole noRole(unsigned char) { return ByteRole::Ignored; }

const NameTable<VantorBoot::Start>& startTable()
{
    static const NameTable<VantorBoot::Start> t = {
        {"application", VantorBoot::Start::Application},
        {"bootloader", VantorBoot::Start::Bootloader},
        {"silent", VantorBoot::Start::Silent},
    };
    return t;
}

bool isRecordLine(const std::string& line) { return line.size() >= 2 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9'; }

} // namespace

// ------------------------------------------------------------------ lines and records

bool LineCutter::take(char c, std::string& line, bool& overlong)
{
    if (c == '\r' || c == '\n') {
        if (!inLine())
            return false;
        line = std::move(text_);
        overlong = over_;
        reset();
        return true;
    }
    if (text_.size() < limit_)
        text_.push_back(c);
    else
        over_ = true;
    return false;
}

void LineCutter::reset()
{
    text_.clear();
    over_ = false;
}

void RecordImage::erase()
{
    std::fill(memory_.begin(), memory_.end(), std::uint8_t{0xFF});
    lines_.clear();
    erased_ = true;
    endSeen_ = false;
    refused_ = 0;
}

RecordVerdict RecordImage::take(const std::string& line)
{
    BootRecord rec;
    RecordVerdict v = readRecord(line, rec);
    if (v == RecordVerdict::Accepted) {
        if (!erased_)
            v = RecordVerdict::BeforeErase;
        else if (endSeen_)
            v = RecordVerdict::AfterEnd;
        else if (rec.type == '1' && rec.address + rec.data.size() > memorySize)
            v = RecordVerdict::OutOfRange;
    }
    if (v != RecordVerdict::Accepted) {
        ++refused_;
        return v;
    }
    if (rec.type == '1')
        std::copy(rec.data.begin(), rec.data.end(), memory_.begin() + rec.address);
    if (rec.type == '7' || rec.type == '8' || rec.type == '9')
        endSeen_ = true;
    if (lines_.size() < maxLinesKept)
        lines_.push_back(line);
    return v;
}

std::string RecordImage::text() const
{
    std::string out;
    for (const auto& l : lines_)
        out += l + "\r\n";
    return out;
}

// ------------------------------------------------------------------ the module

VantorBoot::VantorBoot() : TerminalModule(lineEnd::crLf, noRole) {}

void VantorBoot::setStart(Start s)
{
    pending_ = Pending::None;
    cutter_.reset();
    silent_ = s == Start::Silent;
    mode_ = s == Start::Bootloader ? Mode::Bootloader : Mode::Application;
}

std::optional<VantorBoot::Start> VantorBoot::startNamed(std::string_view name) { return named(startTable(), name); }

const std::vector<std::string_view>& VantorBoot::startNames()
{
    static const auto names = namesOf(startTable());
    return names;
}

void VantorBoot::receive(const std::string& bytes)
{
    // Nothing reaches a module whose USB port is gone.
    if (!usbPresent())
        return;
    std::string line;
    bool overlong = false;
    for (char c : bytes) {
        if (!cutter_.take(c, line, overlong))
            continue;
        if (overlong) {
            if (!silent_)
                send(refused);
            continue;
        }
        const Received r = Received::line(std::move(line));
        if (!isRecordLine(r.text))
            remember(r); // the records are kept in image(), not in the record of commands
        handle(r);
        if (!usbPresent())
            return; // the rest of what was sent went with the port
    }
}

void VantorBoot::handle(const Received& r)
{
    if (silent_)
        return;
    if (mode_ == Mode::Application)
        handleApplication(r.text);
    else if (mode_ == Mode::Bootloader)
        handleBootloader(r.text);
}

void VantorBoot::handleApplication(const std::string& line)
{
    if (line == "verA") {
        say(appVersion);
    } else if (line == "^BL") {
        ++bootRequests_;
        const bool takes = faults_.bootFailures <= 0;
        if (!takes)
            --faults_.bootFailures;
        goAway(takes ? Mode::Bootloader : Mode::Application, faults_.bootTime);
    } else {
        say("ERR " + line);
    }
}

void VantorBoot::handleBootloader(const std::string& line)
{
    if (pending_ == Pending::Erase)
        return; // erasing: nothing is taken
    if (line == "verB") {
        say(bootVersion);
        return;
    }
    if (line == "^0578") {
        send(erasing);
        pending_ = Pending::Erase;
        due_ = now_ + eraseTime;
        return;
    }
    if (!isRecordLine(line)) {
        say("?");
        return;
    }
    if (image_.take(line) != RecordVerdict::Accepted) {
        send(refused);
        return;
    }
    if (!image_.endSeen())
        return;
    say(image_.refusedAny() ? programFailed : programOk);
    if (onEnd)
        onEnd(*this);
    // The new program starts: the port goes away, and comes back with the application.
    goAway(Mode::Application, faults_.noReturn ? Ms{-1} : faults_.restartTime);
}

void VantorBoot::goAway(Mode next, Ms after)
{
    mode_ = Mode::Restarting;
    after_ = next;
    ++drops_;
    cutter_.reset();
    pending_ = after < Ms{0} ? Pending::None : Pending::Restart;
    due_ = now_ + after;
}

void VantorBoot::tick()
{
    if (pending_ == Pending::None || now_ < due_)
        return;
    const Pending what = std::exchange(pending_, Pending::None);
    if (what == Pending::Erase) {
        if (faults_.refuseErase) {
            say(eraseFailed);
            return;
        }
        image_.erase();
        ++erases_;
        say(eraseOk);
        return;
    }
    // The port is back; whatever was said before it went away went with it.
    takeOutput();
    mode_ = after_;
}

// ------------------------------------------------------------------ tavsim's links

namespace {

struct UsbShared {
    std::shared_ptr<VantorBoot> module;
    const void* driver = nullptr; // the link that moves the module's time on
};

class VantorUsbLink : public LinkDevice {
public:
    VantorUsbLink(std::shared_ptr<UsbShared> shared, Ms dropAfter)
        : shared_(std::move(shared)), drops_(shared_->module->usbDrops()), dropAfter_(dropAfter)
    {
        shared_->driver = this; // the newest link is the one the terminal uses
    }
    ~VantorUsbLink() override
    {
        if (shared_->driver == this)
            shared_->driver = nullptr;
    }
    void receive(const std::string& bytes) override
    {
        if (!stale())
            shared_->module->receive(bytes);
    }
    void advance(Ms dt) override
    {
        age_ += dt;
        if (!shared_->driver)
            shared_->driver = this;
        if (shared_->driver == this)
            shared_->module->advance(dt);
    }
    // A link the port went away under still sends what was said before it went.
    std::string takeOutput() override { return shared_->module->takeOutput(); }
    std::string terminated(const std::string& line) const override { return shared_->module->terminated(line); }
    bool linkDropDue() const override { return stale() || (dropAfter_ > Ms{0} && age_ >= dropAfter_); }

private:
    bool stale() const { return shared_->module->usbDrops() != drops_; }

    std::shared_ptr<UsbShared> shared_;
    int drops_;
    Ms dropAfter_;
    Ms age_{0};
};

} // namespace

std::function<std::unique_ptr<LinkDevice>(AcuDevice&)> vantorUsbLinks(std::shared_ptr<VantorBoot> module, Ms dropAfter)
{
    auto shared = std::make_shared<UsbShared>();
    shared->module = std::move(module);
    return [shared, dropAfter](AcuDevice&) -> std::unique_ptr<LinkDevice> {
        return std::make_unique<VantorUsbLink>(shared, dropAfter);
    };
}

} // namespace sim
