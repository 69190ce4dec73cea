#pragma once
// The panel's logic assembled: the link with its scheduler, the decoder, the indicators and the
// front panel, wired together as the main window uses them (and as tests drive them).
#include "Decoder.h"
#include "FrontPanel.h"
#include "Indicators.h"
#include "PanelLink.h"

#include <memory>

namespace panel {

class PanelCore {
public:
    PanelCore(PanelShared& shared, MainState& main, common::Clock& clock, PanelUi& ui,
              PanelLink::LinkFactory makeLink, common::SettingsStore* store, ArrowScan* scan = nullptr);

    PanelLink link;
    Decoder decoder;
    Indicators indicators;
    FrontPanel front;
};

} // namespace panel
