#pragma once
// The graph's seven colours in the settings store (section "Colors", each the decimal text of
// R + 256 G + 65536 B), the two built-in schemes, and the palette of the printed graph.
#include "GraphModel.h"

#include <optional>
#include <string>

namespace common {
class SettingsStore;
}

namespace panel {

inline constexpr const char* kColorsSection = "Colors";

// The seven colours in their menu order, as a table of names and members.
struct ColorEntry {
    const char* key;      // settings key
    const char* menuName; // objectName of the menu entry
    const char* caption;  // menu caption
    Rgb GraphColors::*member;
};
inline constexpr ColorEntry kColorEntries[] = {
    {"Back", "mnuBack", "&Back Color", &GraphColors::back},
    {"Grid", "mnuGrid", "&Grid Color", &GraphColors::grid},
    {"Home", "mnuHome", "&Home Color", &GraphColors::home},
    {"T1", "mnuT1", "Trace &1", &GraphColors::trace1},
    {"T2", "mnuT2", "Trace &2", &GraphColors::trace2},
    {"T3", "mnuT3", "Trace &3", &GraphColors::trace3},
    {"T4", "mnuT4", "Trace &4", &GraphColors::trace4},
};

// 0xRRGGBB and the stored integer R + 256 G + 65536 B.
long storedColor(Rgb c);
Rgb colorFromStored(long v);

// "Load DOS Defaults" and "Load Win Defaults".
GraphColors dosColors();
GraphColors winColors();
// The printed graph: white paper, light grey grid, grey home lines, black traces.
GraphColors printColors();

// "Reload Saved Colors": each key, or its stored default (GraphColors' defaults) when absent or
// not a number.
GraphColors loadColors(const common::SettingsStore& store);
// "Save Settings".
void saveColors(common::SettingsStore& store, const GraphColors& colors);

} // namespace panel
