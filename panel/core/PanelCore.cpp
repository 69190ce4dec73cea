#include "PanelCore.h"

namespace panel {

PanelCore::PanelCore(PanelShared& shared, MainState& main, common::Clock& clock, PanelUi& ui,
                     PanelLink::LinkFactory makeLink, common::SettingsStore* store, ArrowScan* scan)
    : link(shared, main, clock, ui, std::move(makeLink), store), decoder(shared, main), indicators(shared, main),
      front(shared, main, link, clock, scan)
{
    link.decode = [this](const std::string& line, const std::string& cmd) { decoder.Decode(line, cmd); };
    decoder.statusDecoded = [this] { indicators.Update(); };
    decoder.SetCheckSys = [this](int v) { indicators.SetCheckSys(v); };
    decoder.SetCheckPol = [this](int v) { indicators.SetCheckPol(v); };
    link.antennaChanged = [this] { indicators.ForgetTypes(); };
}

} // namespace panel
