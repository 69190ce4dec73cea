#include "sim/AcuBoot.h"
#include "sim/NameTable.h"

#include <algorithm>
#include <utility>

namespace sim {

namespace {

// The application's command bytes (as "acu-terminal"), and the bootloader's "#" fragments and
// "9" restart, which open lines.
ByteRole bootRole(unsigned char c)
{
    if (c == '#' || c == '9')
        return ByteRole::Lead;
    if (c == 'W' || CommandParser::isQueryByte(c))
        return ByteRole::Immediate;
    return CommandParser::isLeadByte(c) ? ByteRole::Lead : ByteRole::Ignored;
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

unsigned hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f')
        return static_cast<unsigned>(c - 'a' + 10);
    return static_cast<unsigned>(c - 'A' + 10);
}

// Address bytes of each record type; 0 for the unused type 4.
unsigned addressBytes(char type)
{
    switch (type) {
    case '0': case '1': case '5': case '9': return 2;
    case '2': case '6': case '8': return 3;
    case '3': case '7': return 4;
    default: return 0;
    }
}

std::string withoutTrailingBlanks(const std::string& s)
{
    const auto end = s.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : s.substr(0, end + 1);
}

// "[L" (lock the external ports) and "[Z" (restart), trailing blanks allowed.
bool isCommInterfaceLine(const std::string& line)
{
    const std::string t = withoutTrailingBlanks(line);
    return t == "[L" || t == "[Z";
}

const NameTable<AcuBoot::Start>& startTable()
{
    static const NameTable<AcuBoot::Start> t = {
        {"application", AcuBoot::Start::Application}, {"bootloader", AcuBoot::Start::Bootloader},
        {"hung", AcuBoot::Start::Hung},               {"silent", AcuBoot::Start::Silent},
        {"confused", AcuBoot::Start::Confused},
    };
    return t;
}

} // namespace

// ------------------------------------------------------------------ records

void RecordJoiner::feed(std::string_view chars, std::vector<std::string>& out)
{
    for (char c : chars) {
        switch (state_) {
        case State::Idle:
            break;
        case State::Type:
            if (c >= '0' && c <= '9') {
                text_.push_back(c);
                state_ = State::Count;
                continue;
            }
            break;
        case State::Count:
            if (isHex(c)) {
                text_.push_back(c);
                if (text_.size() == 4) {
                    bodyChars_ = 2 * (hexValue(text_[2]) * 16 + hexValue(text_[3]));
                    state_ = State::Body;
                    if (bodyChars_ == 0) {
                        out.push_back(std::move(text_));
                        reset();
                    }
                }
                continue;
            }
            break;
        case State::Body:
            if (isHex(c)) {
                text_.push_back(c);
                if (--bodyChars_ == 0) {
                    out.push_back(std::move(text_));
                    reset();
                }
                continue;
            }
            break;
        }
        // Outside a record, or a character that cannot belong to this one: a record broken
        // off is handed on as it stands; an "S" starts the next.
        if (state_ != State::Idle)
            out.push_back(std::move(text_));
        reset();
        if (c == 'S') {
            text_.assign(1, c);
            state_ = State::Type;
        }
    }
}

void RecordJoiner::reset()
{
    state_ = State::Idle;
    text_.clear();
    bodyChars_ = 0;
}

RecordVerdict readRecord(const std::string& text, BootRecord& out)
{
    out = BootRecord{};
    out.text = text;
    if (text.size() < 4 || text[0] != 'S' || text[1] < '0' || text[1] > '9' || text.size() % 2 != 0)
        return RecordVerdict::Malformed;
    out.type = text[1];
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() - 2) / 2);
    for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
        if (!isHex(text[i]) || !isHex(text[i + 1]))
            return RecordVerdict::Malformed;
        bytes.push_back(static_cast<std::uint8_t>(hexValue(text[i]) * 16 + hexValue(text[i + 1])));
    }
    const unsigned addr = addressBytes(out.type);
    const std::size_t count = bytes[0];
    if (addr == 0 || count != bytes.size() - 1 || count < addr + 1)
        return RecordVerdict::Malformed;
    for (unsigned i = 0; i < addr; ++i)
        out.address = (out.address << 8) | bytes[1 + i];
    out.data.assign(bytes.begin() + 1 + addr, bytes.end() - 1);
    unsigned sum = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
        sum += bytes[i];
    return static_cast<std::uint8_t>(~sum) == bytes.back() ? RecordVerdict::Accepted : RecordVerdict::BadChecksum;
}

// ------------------------------------------------------------------ the module

AcuBoot::AcuBoot(AcuDevice& device) : TerminalModule(lineEnd::crLfPrompt, bootRole), device_(device), app_(device) {}

std::string AcuBoot::terminated(const std::string& line) const
{
    return line + (mode_ == Mode::Application ? lineEnd::crLfPrompt : lineEnd::crLf);
}

bool AcuBoot::linkDropDue() const
{
    return dropDue_ || TerminalModule::linkDropDue();
}

void AcuBoot::setStart(Start s)
{
    pending_.cancel();
    dropPartialLine();
    beginTransfer();
    erased_ = false;
    silent_ = hung_ = confused_ = dropDue_ = false;
    mode_ = Mode::Bootloader;
    switch (s) {
    case Start::Application: mode_ = Mode::Application; break;
    case Start::Bootloader: break;
    case Start::Hung: hung_ = true; break;
    case Start::Silent: mode_ = Mode::Application; silent_ = true; break;
    case Start::Confused: confused_ = true; break;
    }
}

std::optional<AcuBoot::Start> AcuBoot::startNamed(std::string_view name) { return named(startTable(), name); }

const std::vector<std::string_view>& AcuBoot::startNames()
{
    static const auto names = namesOf(startTable());
    return names;
}

bool AcuBoot::keeps(const Received& r) const
{
    return !(r.kind == Received::Kind::Line && r.text[0] == '#');
}

void AcuBoot::handle(const Received& r)
{
    if (silent_)
        return;
    // The communications interface answers its own lines whatever the ACU behind it does.
    if (r.kind == Received::Kind::Line && isCommInterfaceLine(r.text)) {
        send(commPrompt);
        return;
    }
    // Restarting or erasing: the ACU takes nothing.
    if (busy())
        return;
    if (confused_) {
        if (r.kind == Received::Kind::Byte && r.text == "S")
            say(confusedStatus);
        return;
    }
    if (mode_ == Mode::Application)
        handleApplication(r);
    else
        handleBootloader(r);
}

void AcuBoot::handleApplication(const Received& r)
{
    if (r.kind == Received::Kind::Byte && r.text == "V") {
        say("TAV ACU VER " + version_);
        return;
    }
    if (r.kind == Received::Kind::Line) {
        if (r.text == "\\0080") {
            // The application hands over; the bootloader reports once it runs.
            schedule(Pending::ToBootloader, restartTime);
            return;
        }
        if (r.text[0] == '#' || r.text[0] == '9')
            return; // the bootloader's lines mean nothing to the application
    }
    // Everything else as the ACU answers it on the terminal's ACU paths.
    std::string bytes = r.escaped ? std::string(1, ESC) : std::string();
    bytes += r.text;
    if (r.kind == Received::Kind::Line)
        bytes += '\r';
    app_.receive(bytes);
    send(app_.takeOutput());
}

void AcuBoot::handleBootloader(const Received& r)
{
    if (r.kind == Received::Kind::Byte) {
        if (r.text == "S" && !hung_)
            say(bootStatus);
        return; // the bootloader knows no other single byte
    }
    if (r.text[0] == '#') {
        if (hung_)
            return;
        std::vector<std::string> joined;
        joiner_.feed(std::string_view(r.text).substr(1), joined);
        for (const auto& text : joined) {
            if (silent_)
                break;
            takeRecord(text);
        }
        return;
    }
    const std::string line = withoutTrailingBlanks(r.text);
    if (line == "9") {
        schedule(Pending::BootRestart, restartTime);
        return;
    }
    if (hung_)
        return;
    if (line == "^0578" || line == "^0577") {
        erased_ = false;
        joiner_.reset();
        send(erasing);
        schedule(line == "^0578" ? Pending::Erase : Pending::BulkErase, line == "^0578" ? eraseTime : bulkEraseTime);
        return;
    }
    if (line == "\\0090") {
        say(bootExit);
        schedule(Pending::ToApplication, restartTime);
        return;
    }
    say(unknown);
}

void AcuBoot::takeRecord(const std::string& text)
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
        else if (received_ == faults_.refuseRecord)
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
            ++dataRecords_; // kept in records(), not in the 16-bit memory
            break;
        case '7': case '8': case '9':
            endSeen_ = true;
            endType_ = rec.type;
            say(refusedSinceErase_ ? loadFailed : loadOk);
            if (onEnd)
                onEnd(*this);
            break;
        default:
            break;
        }
    } else {
        refusedSinceErase_ = true;
        send(refused);
    }
    if (records_.size() < maxRecordsKept)
        records_.push_back(std::move(rec));
    if (faults_.silentAfterRecords > 0 && received_ >= faults_.silentAfterRecords)
        silent_ = true;
    if (faults_.dropLinkAfterRecords > 0 && received_ >= faults_.dropLinkAfterRecords)
        dropDue_ = silent_ = true; // nothing passes a dropped link
}

void AcuBoot::beginTransfer()
{
    joiner_.reset();
    records_.clear();
    received_ = accepted_ = dataRecords_ = 0;
    endSeen_ = false;
    endType_ = 0;
    refusedSinceErase_ = false;
}

void AcuBoot::schedule(Pending what, Ms after)
{
    pending_.schedule(what, now_ + after);
}

void AcuBoot::tick()
{
    app_.advance(now_ - app_.now());
    const Pending what = pending_.takeDue(now_);
    if (what == Pending::None)
        return;
    switch (what) {
    case Pending::None:
        break;
    case Pending::ToBootloader:
    case Pending::BootRestart:
        // A bootloader that starts knows nothing of an erase or a transfer before.
        mode_ = Mode::Bootloader;
        hung_ = false;
        erased_ = false;
        joiner_.reset();
        say(what == Pending::ToBootloader ? bootStarted : bootRestarted);
        break;
    case Pending::ToApplication:
        mode_ = Mode::Application;
        device_.execute(Command::line("\\0090")); // the ACU starts afresh: saved parameters, power-up
        break;
    case Pending::Erase:
    case Pending::BulkErase:
        if (faults_.refuseErase) {
            say(eraseFailed);
            break;
        }
        std::fill(memory_.begin(), memory_.end(), std::uint8_t{0xFF});
        beginTransfer();
        erased_ = true;
        ++erases_;
        say(eraseDone);
        break;
    }
}

} // namespace sim
