#pragma once
// The graph, the parameter dump and the data files of the panel, wired to its link logic: the
// decoder's samples go to Pgraph (or to the spectrum), every record to the data log, the
// sweep to the send scheduler, and a front-panel key stops a sweep. The main window and the
// command-line modes both use this one assembly.
#include "DataFiles.h"
#include "GraphModel.h"

#include "panel/core/PanelCore.h"
#include "panel/params/ParamDump.h"
#include "panel/params/ParamUpload.h"

namespace panel {

class PanelGraphs {
public:
    PanelGraphs(PanelShared& shared, MainState& main, PanelCore& core, FileUi& ui);

    GraphModel graph;
    ParamDump dump;
    ParamUpload upload;
    DataFiles files;
    // While set (a capture is replayed on the graph) live samples are not plotted.
    bool holdLive = false;

    // The stream samples of a diagnostic reply as Pgraph takes them: the loop-error ("x") and
    // torque ("y") values are bytes about 128 and become signed about 0; the sensor values
    // ("v", "V", "w") come centred from the decoder and are rounded. The phase of a loop-error
    // reply is the fourth. False when the reply is not the one the graph mode plots.
    static bool streamSample(int graphMode, const GraphSample& sample, std::array<std::int16_t, 4>& stream);

private:
    void admcSample();

    PanelShared& s_;
    MainState& m_;
};

} // namespace panel
