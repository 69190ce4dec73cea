#include "sim/Modems.h"

#include "sim/AcuReplies.h"

#include <algorithm>

namespace sim {

namespace {

// The four-digit code after the lead, trailing blanks allowed; nothing when it is not one.
std::optional<std::string> code(const std::string& line)
{
    std::string c = line.substr(1);
    c.erase(c.find_last_not_of(' ') + 1);
    if (c.size() != 4 || !std::all_of(c.begin(), c.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        return std::nullopt;
    return c;
}

std::string statusText(const std::string& name, unsigned status)
{
    return name + " STATUS " + reply::hex(status, 4) + (status == 0 ? " OK" : " FAULT");
}

std::string temperatureText(const std::string& name, int tenths)
{
    return name + " TEMP " + (tenths < 0 ? "" : "+") + tenthsText(tenths, 2) + "C";
}

ByteRole modemRole(unsigned char c)
{
    if (c == 'U')
        return ByteRole::Immediate;
    return c == '<' || c == '>' ? ByteRole::Lead : ByteRole::Ignored;
}

ByteRole motorDriverRole(unsigned char c)
{
    return c == ']' || c == '*' ? ByteRole::Lead : ByteRole::Ignored;
}

} // namespace

ModemUnit::ModemUnit(char lead, std::string name, int temperature, std::string serialNumber)
    : lead_(lead), name_(std::move(name)), temperature_(temperature), serial_(std::move(serialNumber))
{
}

std::optional<std::string> ModemUnit::answer(const std::string& line) const
{
    if (line.empty() || line[0] != lead_)
        return std::nullopt;
    const auto c = code(line);
    if (!c)
        return "ERR " + line;
    if (*c == "0411")
        return versionLine();
    if (*c == "0000")
        return statusText(name_, status_);
    if (*c == "0273")
        return temperatureText(name_, temperature_);
    if (*c == "1234")
        return name_ + " SN " + serial_;
    return line;
}

std::optional<std::string> MotorDriver::answer(const std::string& line)
{
    if (line.empty())
        return std::nullopt;
    if (line[0] == '*')
        return line.find_first_not_of(' ', 1) == std::string::npos ? versionLine() : "ERR " + line;
    if (line[0] != ']')
        return std::nullopt;
    const auto c = code(line);
    if (!c)
        return "ERR " + line;
    if (*c == "0411")
        return versionLine();
    if (*c == "6000")
        return statusText("MDE", status_);
    if (*c == "0273")
        return temperatureText("MDE", temperature_);
    if (*c == "6008") {
        relativeUsb_ = true;
        return std::string("MDE RELATIVE USB ON");
    }
    return line;
}

ModemLink::ModemLink() : TerminalModule(lineEnd::crLfPrompt, modemRole) {}

void ModemLink::handle(const Received& r)
{
    if (r.kind == Received::Kind::Byte) {
        ++sync_;
        return;
    }
    auto a = bde_.answer(r.text);
    if (!a)
        a = ade_.answer(r.text);
    if (a)
        say(*a);
}

MotorDriverLink::MotorDriverLink() : TerminalModule(lineEnd::crLfPrompt, motorDriverRole) {}

void MotorDriverLink::handle(const Received& r)
{
    if (const auto a = mde_.answer(r.text))
        say(*a);
}

} // namespace sim
