#pragma once
// The reply decoder: for each reply line and the command it answers (as matched by the
// sent-command ring), checks the reply's shape, stores its values, counts a sync error when
// the shape is wrong, and redraws the four display lines for the screen shown.
#include "PanelState.h"

#include <functional>
#include <string>

namespace panel {

class Decoder {
public:
    Decoder(PanelShared& shared, MainState& main);

    // One reply line and the command it answers (line terminator included).
    void Decode(const std::string& line, const std::string& command);
    // Redraw the display lines of the screen shown (by display state).
    void Redraw();

    // Hooks.
    std::function<void(int value)> SetCheckSys; // a System Type value arrived
    std::function<void(int value)> SetCheckPol; // a Polang Type value arrived
    std::function<void()> statusDecoded;        // an ACU status reply was stored (indicators)
    std::function<void(const GraphSample&)> graph; // a graph reply; default keeps it in graphSamples
    // While a parameter dump runs, every line goes here first.
    std::function<void(const std::string& line, const std::string& command)> dumpFormatter;

    static constexpr size_t kMaxGraphSamples = 4096;

private:
    // Each decoder returns kGood, kIgnored (not a reply this panel acts on) or a sync code.
    static constexpr int kGood = 0;
    static constexpr int kIgnored = -1;
    int decodeParameter(const std::string& line, const std::string& command);
    int decodePosition(const std::string& line);
    int decodeHeading(const std::string& line);
    int decodeReceiver(const std::string& line);
    int decodePolarisation(const std::string& line);
    int decodeSignal(const std::string& line);
    int decodeVersion(const std::string& line);
    int decodeAntenna(const std::string& line);
    int decodeStatus(const std::string& line);
    int decodeSpectrum(const std::string& line, const std::string& command);
    int decodePcu(const std::string& line, const std::string& command);
    void showReceiverStatus(int status);
    void superviseTracking(bool carriesAgc);
    void toGraph(const GraphSample& sample);
    void redrawItem(int state);

    PanelShared& s_;
    MainState& m_;
};

} // namespace panel
