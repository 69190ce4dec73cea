// The settings store's INI reader, with both programs' profiles read from whatever the file
// holds (a damaged file, a hand edit, binary junk). What the panel reads and then saves must
// read back the same.
#include "common/Profiles.h"
#include "common/SettingsStore.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// Says which value did not survive, for the crash report.
bool same(const common::PanelProfiles& a, const common::PanelProfiles& b)
{
    auto differs = [](const char* what, int n, const std::string& x, const std::string& y) {
        if (x == y)
            return false;
        std::fprintf(stderr, "%s of profile %d read \"%s\", read back \"%s\"\n", what, n, x.c_str(), y.c_str());
        return true;
    };
    bool ok = !differs("Select", 0, std::to_string(a.select), std::to_string(b.select));
    for (int n = 1; n <= 4; ++n) {
        const auto &x = a[n], &y = b[n];
        ok &= !differs("settings", n, x.settings, y.settings);
        ok &= !differs("port number", n, std::to_string(x.commPort), std::to_string(y.commPort));
        ok &= !differs("address", n, x.address, y.address);
        ok &= !differs("TCP port", n, std::to_string(x.port), std::to_string(y.port));
        ok &= !differs("serial", n, std::to_string(x.serial), std::to_string(y.serial));
        ok &= !differs("enabled", n, std::to_string(x.enabled), std::to_string(y.enabled));
        ok &= !differs("caption", n, x.caption, y.caption);
    }
    return ok;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto store = common::SettingsStore::inMemory("multTAVRemote", text);
    common::PanelProfiles panel;
    panel.load(store);
    common::TerminalProfile terminal;
    terminal.load(store);
    short n = 0;
    common::toInt16(store.get("Properties", "Select", ""), n);
    common::toBool(store.get("Properties", "Query", ""), false);

    // Saved and read again, the profiles are what was read.
    auto copy = common::SettingsStore::inMemory("multTAVRemote", {});
    if (!panel.save(copy) || !copy.save("Properties", "Select", std::to_string(panel.select)))
        std::abort();
    common::PanelProfiles again;
    again.load(common::SettingsStore::inMemory("multTAVRemote", copy.text()));
    if (!same(panel, again))
        std::abort();
    return 0;
}
