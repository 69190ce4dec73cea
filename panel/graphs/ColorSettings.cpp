#include "ColorSettings.h"

#include "common/SettingsStore.h"

#include <charconv>

namespace panel {

namespace {

constexpr Rgb rgb(int r, int g, int b) { return Rgb(r) << 16 | Rgb(g) << 8 | Rgb(b); }

} // namespace

long storedColor(Rgb c)
{
    return long((c >> 16) & 0xFF) + 256L * long((c >> 8) & 0xFF) + 65536L * long(c & 0xFF);
}

Rgb colorFromStored(long v)
{
    const auto u = static_cast<unsigned long>(v);
    return rgb(int(u & 0xFF), int((u >> 8) & 0xFF), int((u >> 16) & 0xFF));
}

GraphColors dosColors()
{
    GraphColors c;
    c.back = rgb(31, 31, 31);
    c.grid = rgb(79, 79, 79);
    c.home = rgb(255, 0, 0);
    return c; // the traces are the defaults: yellow, light green, light cyan, bright white
}

GraphColors winColors()
{
    GraphColors c;
    c.back = rgb(224, 224, 224);
    c.grid = rgb(192, 192, 192);
    c.home = rgb(255, 0, 0);
    c.trace3 = rgb(0, 0, 128);
    return c;
}

GraphColors printColors()
{
    GraphColors c;
    c.back = rgb(255, 255, 255);
    c.grid = rgb(192, 192, 192);
    c.home = rgb(143, 143, 143);
    c.trace1 = c.trace2 = c.trace3 = c.trace4 = 0;
    return c;
}

GraphColors loadColors(const common::SettingsStore& store)
{
    const GraphColors defaults;
    GraphColors c;
    for (const auto& e : kColorEntries) {
        const std::string text = store.get(kColorsSection, e.key, std::to_string(storedColor(defaults.*e.member)));
        long v = 0;
        const auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), v);
        const bool ok = err == std::errc() && end == text.data() + text.size() && v >= 0 && v <= 0xFFFFFF;
        c.*e.member = ok ? colorFromStored(v) : defaults.*e.member;
    }
    return c;
}

void saveColors(common::SettingsStore& store, const GraphColors& colors)
{
    for (const auto& e : kColorEntries)
        store.save(kColorsSection, e.key, std::to_string(storedColor(colors.*e.member)));
}

} // namespace panel
