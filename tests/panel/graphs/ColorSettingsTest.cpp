// The graph's colours in the settings store and the two built-in schemes.
#include "panel/graphs/ColorSettings.h"

#include "common/SettingsStore.h"

#include <gtest/gtest.h>

namespace panel {
namespace {

constexpr Rgb rgb(int r, int g, int b) { return Rgb(r) << 16 | Rgb(g) << 8 | Rgb(b); }

TEST(ColorSettings, StoredIntegersAreRPlus256GPlus65536B)
{
    EXPECT_EQ(colorFromStored(2039583), rgb(31, 31, 31));
    EXPECT_EQ(colorFromStored(5197646), rgb(78, 79, 79));
    EXPECT_EQ(colorFromStored(255), rgb(255, 0, 0));
    EXPECT_EQ(storedColor(rgb(0, 0, 128)), 8388608);
    EXPECT_EQ(storedColor(rgb(1, 2, 3)), 1 + 2 * 256 + 3 * 65536);
}

TEST(ColorSettings, ReloadWithNothingSavedGivesTheStoredDefaultsNotTheDosScheme)
{
    const auto store = common::SettingsStore::inMemory("multTAVRemote", "");
    const GraphColors c = loadColors(store);
    EXPECT_EQ(c.back, rgb(31, 31, 31));
    EXPECT_EQ(c.grid, rgb(78, 79, 79));
    EXPECT_EQ(dosColors().grid, rgb(79, 79, 79));
    EXPECT_EQ(c.home, rgb(255, 0, 0));
    EXPECT_EQ(c.trace1, rgb(255, 255, 0));
    EXPECT_EQ(c.trace4, rgb(255, 255, 255));
}

TEST(ColorSettings, SchemesAsTheMenuGivesThem)
{
    const struct {
        const char* name;
        GraphColors c;
        Rgb back, grid, trace3;
    } cases[] = {
        {"DOS", dosColors(), rgb(31, 31, 31), rgb(79, 79, 79), rgb(0, 255, 255)},
        {"Win", winColors(), rgb(224, 224, 224), rgb(192, 192, 192), rgb(0, 0, 128)},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(k.c.back, k.back);
        EXPECT_EQ(k.c.grid, k.grid);
        EXPECT_EQ(k.c.home, rgb(255, 0, 0));
        EXPECT_EQ(k.c.trace1, rgb(255, 255, 0));
        EXPECT_EQ(k.c.trace2, rgb(0, 255, 0));
        EXPECT_EQ(k.c.trace3, k.trace3);
        EXPECT_EQ(k.c.trace4, rgb(255, 255, 255));
    }
}

TEST(ColorSettings, SaveThenReloadAndBadValues)
{
    auto store = common::SettingsStore::inMemory("multTAVRemote", "");
    GraphColors c = winColors();
    c.trace2 = rgb(1, 2, 3);
    saveColors(store, c);
    EXPECT_EQ(store.get("Colors", "T2", ""), std::to_string(1 + 2 * 256 + 3 * 65536));
    EXPECT_EQ(store.get("Colors", "Back", ""), std::to_string(224 + 224 * 256 + 224 * 65536));
    const GraphColors back = loadColors(store);
    for (const auto& e : kColorEntries)
        EXPECT_EQ(back.*e.member, c.*e.member) << e.key;

    // A value that is not a colour: that key's default, the others as stored.
    for (const char* bad : {"x", "-1", "16777216", "12 ", ""}) {
        SCOPED_TRACE(bad);
        store.save("Colors", "Grid", bad);
        const GraphColors r = loadColors(store);
        EXPECT_EQ(r.grid, GraphColors{}.grid);
        EXPECT_EQ(r.trace2, rgb(1, 2, 3));
    }
}

} // namespace
} // namespace panel
