#include "Indicators.h"

#include "Format.h"

namespace panel {

const std::array<IndicatorLabel, 8> kIndicatorLabels = {{
    {0, "       Tracking", "Click to toggle Tracking state", 0},
    {1, "       Searching", "", 1},
    {2, "       Target", "", 2},
    {3, "       Initializing", "Shows Initalizing, Blocked, Sbability Limit  and Unwrap  Status", 3},
    {4, "       Error", "Click to display decoded Error bits", 4},
    {5, "       Port Status", "Click to Open/Close Port", 7},
    {7, "        Circlex", "Click to Toggle Circlex On/Off", 5},
    {8, "       Sat Ref", "Shows PCU Satellite Reference Status (Off, Enabled, Active)", 6},
}};

const std::array<std::array<const char*, 6>, 4> kAcuBitCaptions = {{
    {"Slow Scan", "Sat Reference", "Tracking", "Unwrap", "PCU DI3", "PCU DI2 (Tan Acc Corr)"},
    {"AZ Target", "EL / POL Target", "Valid Heading (ACU)", "Block / Mute", "Initializing", "Searching"},
    {"Satellite Range", "Conscan / Circlex", "PCU Error", "Comm Error", "Converter Type", "Gyro Read"},
    {"Reserved", "Stability Limit", "Az Reference", "AZ Servo Limit", "LV Servo Limit", "CL Servo Limit"},
}};

const std::array<std::array<const char*, 6>, 4> kPcuBitCaptions = {{
    {"Slow Scan", "Sat Reference Enabled", "Circlex", "Unwrap", "Data In 3", "Data In 2 (Tan Acc Corr)"},
    {"AZ Target", "Sat Reference Active", "Valid Heading (PCU)", "PCU Error", "PCU Init", "Hi Elevation"},
    {"Critical Error", "Stab Limit", "AZ Ref Error", "AZ Torq Lim", "Lv Torq Lim", "Cl Torq Lim"},
    {"Motor Driver Error", "Tilt Sensor Fail", "Rate Sensor Fail", "Over Speed Error", "Reserved", "POST Failure"},
}};

const std::array<const char*, 8> kSystemTypeCaptions = {
    "1,    Sat Load on Reset", "2,    Ext Modem Lock",  "4,    Sat Load after Search", "8,    Reserved (AFT)",
    "16,  Block Out = Hi",     "32,  Relative Az Disp", "64,  LNB Voltage ON",         "128, Modem Lock In = Hi",
};

const std::array<const char*, 8> kPolangTypeCaptions = {
    "1,     Manual Pol Drive",    "2,     Linear Pol Selection", "4,    4 Quad HLVR Display",
    "8,     24V Numeric Pol Display", "16,   5V PWM Polang Drive", "32,   5v PWM Numeric Display",
    "64,   Auto Pol Enabled",     "128, Circular Pol Selection",
};

namespace {
void show(Lamp& l, bool lit, Rgb colour)
{
    l.fill = colour;
    l.hollow = !lit;
    l.cycleMark = false;
}

void addWord(std::vector<BitMenuEntry>& out, const std::array<const char*, 6>& captions, int word)
{
    for (int i = 0; i < 6; ++i)
        out.push_back({captions[size_t(i)], bit(word, 5 - i)});
}
} // namespace

Indicators::Indicators(PanelShared& shared, MainState& main) : s_(shared), m_(main)
{
    // Lamps are drawn yellow at start, the Error lamp and the Port Status lamp red.
    for (int i = 0; i < 7; ++i)
        m_.lamps[size_t(i)].fill = kYellow;
    m_.lamps[4].fill = kRed;
    m_.lamps[kPortLamp].fill = kRed;
}

void Indicators::Update()
{
    const int w1 = s_.acuWord1, w2 = s_.acuWord2, e1 = s_.acuError1, e2 = s_.acuError2;
    const int p1 = s_.pcuWord[0], p2 = s_.pcuWord[1], p3 = s_.pcuWord[2];

    show(m_.lamps[1], bit(w2, 0), kYellow);
    show(m_.lamps[2], bit(w2, 5) && bit(w2, 4), kYellow);

    // The Initializing label names the first condition that holds; green when none does.
    const struct {
        bool holds;
        const char* caption;
    } init[] = {
        {bit(w2, 1), "       Initializing"},
        {bit(w1, 2), "       Unwrap"},
        {bit(w1, 5), "       Slow Scan"},
        {bit(e2, 4), "       Stab Limit"},
        {bit(w2, 2), "       Blocked"},
    };
    bool any = false;
    for (const auto& c : init) {
        if (c.holds) {
            m_.initCaption = c.caption;
            any = true;
            break;
        }
    }
    if (!any)
        m_.initCaption = "       Initializing";
    show(m_.lamps[3], true, any ? kYellow : kGreen);

    const bool error = (e1 & 63) != 0 || (e2 & 15) != 0 || (p3 & 15) != 0;
    show(m_.lamps[4], error, kRed);
    show(m_.lamps[5], bit(p1, 3), kYellow);
    // Sat Ref: dark when off, yellow when enabled, green when active.
    const bool active = bit(p2, 4), enabled = bit(p1, 4);
    show(m_.lamps[6], active || enabled, active ? kGreen : kYellow);
}

std::vector<BitMenuEntry> Indicators::DisplayACU() const
{
    std::vector<BitMenuEntry> out;
    addWord(out, kAcuBitCaptions[0], s_.acuWord1);
    out.push_back({});
    addWord(out, kAcuBitCaptions[1], s_.acuWord2);
    return out;
}

std::vector<BitMenuEntry> Indicators::DisplayPCU() const
{
    std::vector<BitMenuEntry> out;
    for (int w = 0; w < 4; ++w) {
        if (w)
            out.push_back({});
        addWord(out, kPcuBitCaptions[size_t(w)], s_.pcuWord[size_t(w)]);
    }
    return out;
}

std::vector<BitMenuEntry> Indicators::DisplayError() const
{
    std::vector<BitMenuEntry> out;
    addWord(out, kAcuBitCaptions[2], s_.acuError1);
    out.push_back({});
    // No valid character for error word 2: the PCU's torque-limit word stands in its place.
    const int e2 = s_.acuError2 < 64 ? s_.pcuWord[2] : s_.acuError2;
    addWord(out, kAcuBitCaptions[3], e2);
    out.push_back({});
    out.push_back({"Reset Error Bits", false});
    return out;
}

void Indicators::SetCheckSys(int value)
{
    sysKnown_ = true;
    for (int i = 0; i < 8; ++i)
        sys_[size_t(i)] = bit(value, i);
}

void Indicators::SetCheckPol(int value)
{
    polKnown_ = true;
    for (int i = 0; i < 8; ++i)
        pol_[size_t(i)] = bit(value, i);
}

void Indicators::toggle(unsigned char code, int i)
{
    if (i < 0 || i > 7)
        return;
    std::int16_t& v = s_.slot(code);
    v = std::int16_t(v ^ (1 << i));
    s_.typed = std::string("m") + char(code) + afmtINT3(v) + s_.terminator;
}

void Indicators::mnuSysT_Click(int i)
{
    if (sysKnown_)
        toggle('N', i);
}

void Indicators::mnuPolT_Click(int i)
{
    if (polKnown_)
        toggle('P', i);
}

void Indicators::mnuResetE_Click() { s_.typed = "&    " + s_.terminator + "?   S" + s_.terminator; }

void Indicators::CirclexToggle() { s_.typed = "^0067" + s_.terminator; }

} // namespace panel
