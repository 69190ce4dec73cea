#pragma once
// A decoder over a fresh program-wide record and main-window state, with helpers to feed it
// reply lines and to compare everything it may change.
#include "panel/core/Decoder.h"
#include "panel/core/PanelState.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace decodertest {

inline const std::string kCrLf = "\r\n";

// A parameter read command as the scheduler sends it: "m" + code + "999" + CR LF.
inline std::string paramRead(unsigned char code)
{
    return std::string("m") + char(code) + "999" + kCrLf;
}

// A parameter reply: "m" + code + the value with at least 3 digits.
inline std::string paramReply(unsigned char code, int value)
{
    const std::string v = std::to_string(value);
    const std::string zeros(v.size() < 3 ? 3 - v.size() : 0, '0');
    return std::string("m") + char(code) + zeros + v;
}

// A PCU query as sent: "?" + three blanks + letter + CR LF.
inline std::string pcuQuery(char letter)
{
    return std::string("?   ") + letter + kCrLf;
}

// Everything a reply may change, as text, so that "nothing else changed" is one comparison.
// The sync error count and the redraw countdown are left out: they change on purpose.
inline std::string snapshot(const panel::PanelShared& s, const panel::MainState& m)
{
    std::ostringstream o;
    o << s.acuWord1 << ',' << s.acuWord2 << ',' << s.acuError1 << ',' << s.acuError2;
    for (int w : s.pcuWord)
        o << ',' << w;
    o << '|' << s.latitude << ',' << s.longitude << ',' << s.latHemisphere << s.lonHemisphere
      << s.positionValid << '|';
    for (auto p : s.param)
        o << p << ',';
    o << '|' << m.heading << ',' << m.relHeading << ',' << m.azimuth << ',' << m.elevation << ','
      << m.third << ',' << m.threshold << ',' << m.agc << ',' << m.frequency << ',' << m.baud
      << ',' << m.rxStatus << ',' << m.rxCompanion << ',' << m.rxStatusShown << ','
      << m.lowSignalCount << ',' << m.tracking << ',' << m.scpc << ',' << m.eAgc << ','
      << m.modemLocked << '|';
    for (const auto* t : {&m.latText, &m.lonText, &m.hdgText, &m.relText, &m.azText, &m.elText,
                          &m.thirdText, &m.thrsText, &m.freqText, &m.ifText, &m.baudText,
                          &m.toneText, &m.voltText, &m.fecText, &m.nidText, &m.skewText,
                          &m.agcText, &m.polText, &m.eAgcText, &m.acuVersion, &m.pcuVersion,
                          &m.systemTypeCaption})
        o << *t << '\x1f';
    for (const auto& t : m.text5)
        o << t << '\x1f';
    o << m.lamps[0].hollow << m.lamps[0].cycleMark << m.lampFlashing[0] << '|'
      << m.graphSamples.size();
    return o.str();
}

class DecoderTest : public ::testing::Test {
protected:
    DecoderTest()
    {
        dec.SetCheckSys = [this](int v) { sysValues.push_back(v); };
        dec.SetCheckPol = [this](int v) { polValues.push_back(v); };
        dec.statusDecoded = [this] { ++statusCalls; };
    }

    void decode(const std::string& line, const std::string& command) { dec.Decode(line, command); }
    void param(unsigned char code, int value) { decode(paramReply(code, value), paramRead(code)); }

    // Lines nobody has drawn yet, so an unchanged line is visible.
    void markLines() { main.text5 = {"~0", "~1", "~2", "~3"}; }

    panel::PanelShared shared;
    panel::MainState main;
    panel::Decoder dec{shared, main};
    std::vector<int> sysValues, polValues;
    int statusCalls = 0;
};

} // namespace decodertest
