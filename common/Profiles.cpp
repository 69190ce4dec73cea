#include "Profiles.h"

#include "SettingsStore.h"

namespace common {

namespace {
std::string key(const char* name, int n) { return std::string(name) + std::to_string(n); }
} // namespace

PanelProfiles::PanelProfiles()
{
    static const char* addresses[] = {"", "192.168.0.195", "192.168.0.196", "192.168.0.197", "192.168.0.198"};
    static const short ports[] = {0, 2000, 2001, 2000, 2001};
    for (int n = 1; n <= 4; ++n) {
        auto& c = p[n];
        c.settings = "9600,N,8,1";
        c.commPort = short(n);
        c.address = addresses[n];
        c.port = ports[n];
        c.serial = n == 1;
        c.enabled = n == 1;
        c.caption = "Antenna " + std::to_string(n);
    }
}

void PanelProfiles::load(const SettingsStore& s)
{
    const PanelProfiles def;
    for (int n = 1; n <= 4; ++n) {
        auto& c = p[n];
        const auto& d = def.p[n];
        c.settings = s.get(kSection, key("Settings", n), d.settings);
        if (!toInt16(s.get(kSection, key("CommPort", n), std::to_string(d.commPort)), c.commPort))
            c.commPort = d.commPort;
        c.address = s.get(kSection, key("Address", n), d.address);
        if (!toInt16(s.get(kSection, key("Port", n), std::to_string(d.port)), c.port))
            c.port = d.port;
        c.serial = toBool(s.get(kSection, key("Serial", n), boolText(d.serial)), d.serial);
        c.enabled = toBool(s.get(kSection, key("Enabled", n), boolText(d.enabled)), d.enabled);
        c.caption = s.get(kSection, key("Caption", n), d.caption);
    }
    short sel = 1;
    if (!toInt16(s.get(kSection, "Select", "1"), sel) || sel < 1 || sel > 4)
        sel = 1;
    select = sel;
}

bool PanelProfiles::save(SettingsStore& s) const
{
    bool ok = true;
    auto put = [&](const std::string& k, const std::string& v) { ok = s.save(kSection, k, v) && ok; };
    for (int n = 1; n <= 4; ++n) put(key("Caption", n), p[n].caption);
    for (int n = 1; n <= 4; ++n) put(key("Enabled", n), boolText(p[n].enabled));
    for (int n = 1; n <= 4; ++n) put(key("Settings", n), p[n].settings);
    for (int n = 1; n <= 4; ++n) put(key("CommPort", n), std::to_string(p[n].commPort));
    for (int n = 1; n <= 4; ++n) put(key("Address", n), p[n].address);
    for (int n = 1; n <= 4; ++n) put(key("Port", n), std::to_string(p[n].port));
    for (int n = 1; n <= 4; ++n) put(key("Serial", n), boolText(p[n].serial));
    return ok;
}

std::string settingsSpeed(const std::string& settings)
{
    return settings.substr(0, settings.find(','));
}

} // namespace common

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace common {

void TerminalProfile::load(const SettingsStore& s)
{
    settings = s.get(kSection, "Settings", "");
    commPort = s.get(kSection, "CommPort", "");
    handshaking = s.get(kSection, "Handshaking", "");
    echo = toBool(s.get(kSection, "Echo", ""), false);
    direct = s.get(kSection, "Direct", "DATA");
    address = s.get(kSection, "Address", "192.168.0.195");
    serial = toBool(s.get(kSection, "Type", "True"), true);
    // The numeric value of the text: a text that is no number gives 0.
    short p = 0;
    port = toInt16(s.get(kSection, "PortNumber", "2000"), p) ? p : 0;
}

std::string InstanceLock::lockDir()
{
    const char* rt = std::getenv("XDG_RUNTIME_DIR");
    if (rt && *rt && std::filesystem::is_directory(rt))
        return rt;
    return std::filesystem::temp_directory_path().string();
}

InstanceLock::InstanceLock()
{
    // A lock held by a running copy is released by the system when that copy ends, however
    // it ends, so a crashed copy never leaves the next start believing it still runs.
    const std::string user = std::to_string(::getuid());
    for (int n = 1; n <= 2; ++n) {
        const std::string path = lockDir() + "/korrin-" + user + "-" + std::to_string(n) + ".lock";
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            copy_ = n;
            fd_ = fd;
            return;
        }
        ::close(fd);
    }
    copy_ = 2; // both taken: a third copy shares the second copy's settings
}

InstanceLock::~InstanceLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace common
