#include "Ports.h"

#include "SettingsStore.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <cctype>
#include <filesystem>

namespace fs = std::filesystem;

namespace common {

namespace {

bool isBuiltIn(const std::string& device) { return device.find("/ttyS") != std::string::npos; }

// The path with every link resolved as far as it goes; the path itself when that fails.
fs::path resolved(const fs::path& p)
{
    std::error_code ec;
    fs::path r = fs::weakly_canonical(p, ec);
    return ec ? p.lexically_normal() : r;
}

} // namespace

std::vector<PortInfo> SystemPortSource::ports() const
{
    std::vector<PortInfo> out;
    for (const auto& info : QSerialPortInfo::availablePorts()) {
        PortInfo p;
        p.device = info.systemLocation().toStdString();
        p.description = info.description().trimmed().toStdString();
        p.manufacturer = info.manufacturer().trimmed().toStdString();
        p.serialNumber = info.serialNumber().trimmed().toStdString();
        // Built-in UARTs carry no USB vendor number; adapters do.
        p.usb = info.hasVendorIdentifier() && !isBuiltIn(p.device);
        out.push_back(std::move(p));
    }
    attachByIdNames(out, byIdDir_);
    return out;
}

void attachByIdNames(std::vector<PortInfo>& ports, const std::string& byIdDir)
{
    std::error_code ec;
    std::vector<fs::path> links;
    for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (it->is_symlink(entryError))
            links.push_back(it->path());
    }
    std::sort(links.begin(), links.end());
    for (const auto& link : links) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(link, linkError);
        if (linkError)
            continue;
        const fs::path where = resolved(target.is_absolute() ? target : link.parent_path() / target);
        if (!fs::exists(where, linkError))
            continue; // a link left behind by an adapter that has gone
        for (auto& p : ports)
            if (p.byIdPath.empty() && resolved(p.device) == where)
                p.byIdPath = link.string();
    }
}

std::vector<PortInfo> orderPorts(std::vector<PortInfo> ports)
{
    auto builtIn = std::stable_partition(ports.begin(), ports.end(),
                                         [](const PortInfo& p) { return !isBuiltIn(p.device); });
    std::sort(ports.begin(), builtIn, [](const PortInfo& a, const PortInfo& b) { return a.device < b.device; });
    // ttyS2 before ttyS10: the shorter name first, then by text.
    std::sort(builtIn, ports.end(), [](const PortInfo& a, const PortInfo& b) {
        return a.device.size() != b.device.size() ? a.device.size() < b.device.size() : a.device < b.device;
    });
    return ports;
}

std::string portDescription(const PortInfo& p)
{
    std::string d = !p.description.empty() ? p.description : p.manufacturer;
    if (!p.serialNumber.empty())
        d += (d.empty() ? "(" : " (") + p.serialNumber + ")";
    return d;
}

std::string adapterName(const std::string& byIdPath)
{
    const std::string base = fs::path(byIdPath).filename().string();
    std::string s = base;
    if (s.rfind("usb-", 0) == 0)
        s.erase(0, 4);
    // The interface and port numbers udev appends ("-if00", "-if00-port0") say nothing of the
    // adapter.
    auto dropSuffix = [&s](const std::string& tag) {
        const auto at = s.rfind(tag);
        if (at == std::string::npos || at == 0)
            return;
        const std::string digits = s.substr(at + tag.size());
        if (!digits.empty() && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            s.erase(at);
    };
    dropSuffix("-port");
    dropSuffix("-if");
    std::string name;
    for (size_t i = 0; i < s.size(); ++i) {
        // udev writes blanks as '_' and other unsafe characters as \xNN.
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] == 'x' && std::isxdigit(static_cast<unsigned char>(s[i + 2]))
            && std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
            const char c = char(std::stoi(s.substr(i + 2, 2), nullptr, 16));
            name += (c == '_' || static_cast<unsigned char>(c) < 32) ? ' ' : c;
            i += 3;
        } else {
            name += s[i] == '_' ? ' ' : s[i];
        }
    }
    // Runs of blanks become one.
    name.erase(std::unique(name.begin(), name.end(), [](char a, char b) { return a == ' ' && b == ' '; }), name.end());
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    while (!name.empty() && name.front() == ' ')
        name.erase(0, 1);
    return name.empty() ? base : name;
}

bool isByIdPath(const std::string& path)
{
    const fs::path p(path);
    return p.has_filename() && p.parent_path().filename() == "by-id";
}

std::string PortChoice::text() const
{
    std::string t = "Com" + std::to_string(number);
    if (port) {
        t += "  " + port->device;
        const std::string d = portDescription(*port);
        if (!d.empty())
            t += "  " + d;
        return pinned.empty() ? t : t + ", pinned";
    }
    if (pinned.empty())
        return t;
    if (pinFound)
        return t + "  " + pinned + ", pinned";
    if (isByIdPath(pinned))
        return t + "  " + adapterName(pinned) + ", pinned, not plugged in";
    return t + "  " + pinned + ", pinned, not found";
}

std::string PortChoice::details() const
{
    std::string d;
    auto line = [&d](const std::string& s) { d += (d.empty() ? "" : "\n") + s; };
    if (port) {
        line("Device: " + port->device);
        if (!port->manufacturer.empty())
            line("Manufacturer: " + port->manufacturer);
        if (!port->byIdPath.empty())
            line("Stable name: " + port->byIdPath);
    }
    if (!pinned.empty())
        line("Pinned in [Devices]: Com" + std::to_string(number) + "=" + pinned);
    else if (!pinPath().empty())
        line("Choosing it pins Com" + std::to_string(number) + " to this adapter");
    if (!port && pinned.empty())
        line("No serial port of this machine is Com" + std::to_string(number));
    return d;
}

std::string PortChoice::pinPath() const { return port && port->usb ? port->byIdPath : std::string(); }

std::vector<PortChoice> portChoices(int count, const SettingsStore* store, const std::vector<PortInfo>& ports)
{
    const std::vector<PortInfo> ordered = orderPorts(ports);
    std::vector<PortChoice> out;
    for (int n = 1; n <= count; ++n) {
        PortChoice c;
        c.number = n;
        if (store)
            c.pinned = store->get(kDevicesSection, "Com" + std::to_string(n), "");
        if (c.pinned.empty()) {
            if (size_t(n) <= ordered.size())
                c.port = ordered[size_t(n - 1)];
        } else {
            std::error_code ec;
            c.pinFound = fs::exists(c.pinned, ec);
            const fs::path target = resolved(c.pinned);
            for (const auto& p : ordered)
                if (p.byIdPath == c.pinned || p.device == c.pinned || (c.pinFound && resolved(p.device) == target)) {
                    c.port = p;
                    break;
                }
        }
        out.push_back(std::move(c));
    }
    return out;
}

bool savePin(SettingsStore& store, const PortChoice& choice)
{
    const std::string pin = choice.pinPath();
    if (pin.empty() || pin == choice.pinned)
        return true;
    return store.save(kDevicesSection, "Com" + std::to_string(choice.number), pin);
}

} // namespace common
