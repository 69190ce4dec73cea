#include "N7.h"

#include "panel/core/Format.h"

#include <algorithm>
#include <cctype>

namespace panel {

namespace {
constexpr int kFirstPhase = 3; // "+90 Deg"
} // namespace

namespace n7 {

namespace {

constexpr const char* kReadMark = "999";
constexpr const char* kBusyField = "###";
constexpr size_t kReplyCut = 4;  // the answer as the dump reads it: its first four characters
constexpr size_t kFieldWidth = 3; // the value field: the last three of those

// Whether a text starts with a number as Val reads one: blanks, a sign, then a digit, or a
// decimal point followed by a digit.
bool startsWithNumber(const std::string& text)
{
    size_t i = text.find_first_not_of(" \t");
    if (i == std::string::npos)
        return false;
    if (text[i] == '+' || text[i] == '-')
        ++i;
    const auto digit = [&text](size_t at) {
        return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]));
    };
    return digit(i) || (i < text.size() && text[i] == '.' && digit(i + 1));
}

std::string bare(const std::string& command)
{
    std::string c = command;
    if (!c.empty() && c.front() == '!')
        c.erase(0, 1);
    while (!c.empty() && (c.back() == '\r' || c.back() == '\n'))
        c.pop_back();
    return c;
}

} // namespace

int Encode(const Choice& choice)
{
    int v = 0;
    for (int g = 0; g < kGroups; ++g)
        v += std::clamp(choice[size_t(g)], 0, kChoices - 1) * kWeights[size_t(g)];
    return v;
}

Choice Split(long value)
{
    long v = value % 256; // the sign stays with the remainder
    if (v < 0)
        v += 256;         // and a negative remainder is read as the byte it would be
    Choice c{};
    // The floor divisions of the decode; v is 0..255 here, so they are plain divisions.
    c[Phase] = int(v / 64);
    long r = v - 64 * c[Phase];
    c[CrossLevel] = int(r / 16);
    r -= 16 * c[CrossLevel];
    c[Azimuth] = int(r / 4);
    c[Elevation] = int(r - 4 * c[Azimuth]);
    return c;
}

std::optional<Choice> Decode(const std::string& text)
{
    if (!startsWithNumber(text))
        return std::nullopt;
    return Split(roundEven(Val(text)));
}

std::string ReadCommand(const std::string& terminator) { return std::string("n") + kCode + kReadMark + terminator; }

std::string SetCommand(int value, const std::string& terminator)
{
    return std::string("n") + kCode + afmtINT3(std::clamp(value, 0, 255)) + terminator;
}

bool IsReadCommand(const std::string& command) { return bare(command) == ReadCommand(""); }

Reply ReadReply(const std::string& line)
{
    Reply r;
    if (line.empty() || line.front() != 'n')
        return r;
    const std::string cut = line.substr(0, kReplyCut);
    if (cut.size() < 1 + kFieldWidth)
        return r;
    const std::string field = cut.substr(cut.size() - kFieldWidth);
    if (field == kBusyField) {
        r.kind = Reply::Kind::Busy;
        return r;
    }
    if (!std::all_of(field.begin(), field.end(), [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
        return r;
    const int v = std::stoi(field);
    if (v > 255)
        return r;
    r.kind = Reply::Kind::Value;
    r.value = v;
    return r;
}

} // namespace n7

const std::array<const char*, n7::kGroups> N7Tool::kFrameCaptions = {"Phase", "CL Drive", "AZ Drive", "EL Drive"};

const std::array<std::array<const char*, n7::kChoices>, n7::kGroups> N7Tool::kOptionCaptions = {{
    {"-45 Deg", "  0 Deg", "+45 Deg", "+90 Deg"},
    {"Max", "1/2", "1/4", "1/8"},
    {"Max", "1/2", "1/4", "1/8"},
    {"Max", "1/2", "1/4", "1/8"},
}};

N7Tool::N7Tool(PanelShared& shared) : s_(shared) { text1 = std::to_string(value()); }

void N7Tool::notify()
{
    if (changed)
        changed();
}

int N7Tool::component(int group) const
{
    if (group < 0 || group >= n7::kGroups)
        return 0;
    return choice_[size_t(group)] * n7::kWeights[size_t(group)];
}

int N7Tool::value() const { return n7::Encode(choice_); }

void N7Tool::Form_Load() { Option_Click(n7::Phase, kFirstPhase); }

void N7Tool::Option_Click(int group, int index)
{
    if (group < 0 || group >= n7::kGroups || index < 0 || index >= n7::kChoices)
        return;
    choice_[size_t(group)] = index;
    text1 = std::to_string(value());
    notify();
}

std::string N7Tool::Text1_Enter()
{
    const auto c = n7::Decode(text1);
    if (!c)
        return kNoNumber;
    // Each selection runs the option step, as a click would.
    for (int g = 0; g < n7::kGroups; ++g)
        Option_Click(g, (*c)[size_t(g)]);
    return {};
}

std::string N7Tool::Command1_Click()
{
    if (!s_.open)
        return kPortClosed;
    s_.oneShot = n7::ReadCommand(s_.terminator);
    readPending_ = true;
    status = "Reading n7 from the PCU ...";
    notify();
    return {};
}

std::string N7Tool::Command2_Click()
{
    if (!s_.open)
        return kPortClosed;
    if (const std::string e = Text1_Enter(); !e.empty())
        return e;
    s_.typed = n7::SetCommand(value(), s_.terminator);
    status = "Sent n7 = " + std::to_string(value());
    notify();
    return {};
}

bool N7Tool::replyLine(const std::string& line, const std::string& command)
{
    if (!readPending_ || !n7::IsReadCommand(command))
        return false;
    readPending_ = false;
    const n7::Reply r = n7::ReadReply(line);
    switch (r.kind) {
    case n7::Reply::Kind::Value:
        text1 = std::to_string(r.value);
        Text1_Enter();
        status = "Read n7 = " + std::to_string(r.value);
        break;
    case n7::Reply::Kind::Busy:
        status = "The PCU was busy and did not answer - click Read again.";
        break;
    case n7::Reply::Kind::Unreadable:
        status = "The answer \"" + line + "\" holds no n7 value - click Read again.";
        break;
    }
    notify();
    return true;
}

} // namespace panel
