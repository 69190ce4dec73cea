#include "Decoder.h"

#include "Format.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <cstdint>

namespace panel {

namespace {

constexpr size_t npos = std::string::npos;

unsigned char byteAt(const std::string& s, size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

// The character code at i, or `missing` when the line ends before it.
int codeAt(const std::string& s, size_t i, int missing = 0)
{
    return i < s.size() ? byteAt(s, i) : missing;
}

// 1-based position of the first `key` in the line, 0 when it is not there.
size_t keyPosition(const std::string& line, char key)
{
    const size_t p = line.find(key);
    return p == npos ? 0 : p + 1;
}

bool within(size_t position, size_t first, size_t last)
{
    return position >= first && position <= last;
}

// A value field as an integer: the leading number at the 0-based position, 0 when none.
long number(const std::string& text, size_t pos)
{
    return roundEven(std::clamp(Val(text, pos), -2.0e9, 2.0e9));
}

std::int16_t to16(long v)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

int byteOf(std::int16_t slot)
{
    return slot & 0xFF;
}

unsigned unsigned16(std::int16_t slot)
{
    return static_cast<std::uint16_t>(slot);
}

std::string hex2(int byte)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[(byte >> 4) & 15], kDigits[byte & 15]};
}

std::string trimRight(std::string s)
{
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// The digits after the decimal point of the number at pos ("1150.5" gives "5"), empty when
// the number has none.
std::string fractionDigits(const std::string& text, size_t pos)
{
    size_t i = pos;
    while (i < text.size() && text[i] == ' ')
        ++i;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9')
        ++i;
    if (i >= text.size() || text[i] != '.')
        return {};
    std::string digits;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        digits += text[i];
    return digits;
}

// Parameter codes that carry the high byte of an azimuth limit or of the satellite longitude;
// the ACU never holds 28 or more there, so a larger value means the reply is not the answer.
bool isLimitedHighByte(unsigned char code)
{
    switch (code) {
    case 'S': case 'U': case 'Y': case '[': case ']': case '_': case 'h':
        return true;
    default:
        return false;
    }
}

constexpr int kSystemTypeExtModemLock = 2;
constexpr int kSystemTypeModemLockInHi = 128;
constexpr int kExtAgcLockedBelow = 800;
constexpr int kSkewCode = 138;
constexpr const char* kBusyValue = "###";
constexpr int kTrackDisplayCode = 129;
constexpr int kLowSignalCountMax = 32767;

// The Step Integral parameter's top bit selects the second search and tracking method. With
// it, the MODE STATUS screen shows "SEARCH 2 ON" and the El/Az step parameters act as
// tracking sensitivities, so their screens are titled "Sensitivity" instead of "Step Size".
constexpr int kStepIntegralSearch2 = 128;

} // namespace

Decoder::Decoder(PanelShared& shared, MainState& main) : s_(shared), m_(main) {}

void Decoder::Decode(const std::string& line, const std::string& command)
{
    if (s_.dumpCounter >= 0 && dumpFormatter)
        dumpFormatter(line, command);

    int outcome = kIgnored;
    if (!command.empty()) {
        switch (command[0]) {
        case 'm': outcome = decodeParameter(line, command); break;
        case '@': outcome = decodePosition(line); break;
        case 'H': outcome = decodeHeading(line); break;
        case 'q': outcome = decodeReceiver(line); break;
        case 'u': outcome = decodePolarisation(line); break;
        case '%': outcome = decodeSignal(line); break;
        case 'V': outcome = decodeVersion(line); break;
        case 'P': outcome = decodeAntenna(line); break;
        case 'S': outcome = decodeStatus(line); break;
        case 'c': outcome = decodeSpectrum(line, command); break;
        case '?': outcome = decodePcu(line, command); break;
        default: break; // set commands and queries the panel shows nothing for
        }
    }
    if (outcome > 0)
        s_.syncErrors = outcome;
    else if (outcome == kGood && s_.syncErrors == 0)
        Redraw();

    if (m_.redrawCountdown > 0)
        --m_.redrawCountdown;
}

// ---------------------------------------------------------------- ACU replies

// "mN065": "m" anywhere, the value two places after it; the code is the command's.
int Decoder::decodeParameter(const std::string& line, const std::string& command)
{
    if (command.size() < 2)
        return kIgnored;
    const unsigned char code = byteAt(command, 1);
    const size_t m = line.find('m');
    // Without the key, or with the line ending before the value field, this is not the
    // answer (line noise that happens to hold an "m").
    if (m == npos || m + 2 >= line.size())
        return 1;
    // "###" where the value stands is the controller saying it is busy: it carries no value,
    // and reading it as 0 would overwrite the slot (a System Type of 0 would then be sent back
    // by the next bit toggle). The slot keeps what it had.
    if (line.compare(m + 2, 3, kBusyValue) == 0)
        return kIgnored;
    long value = number(line, m + 2);
    if (isLimitedHighByte(code) && value >= 28)
        return 1;
    if (code == kSkewCode && value >= 128)
        value -= 256; // the skew byte is signed
    s_.slot(code) = to16(value);

    switch (code) {
    case 'N':
        m_.systemTypeCaption = "System Type    " + afmtINT3(value);
        if (SetCheckSys)
            SetCheckSys(int(value));
        break;
    case 'P':
        if (SetCheckPol)
            SetCheckPol(int(value));
        break;
    case '~':
        m_.nidText = hex2(byteOf(s_.slot('}'))) + hex2(byteOf(s_.slot('~')));
        break;
    case kSkewCode:
        m_.skewText = value < 0 ? afmtINT3(value) : afmtINT4(value);
        break;
    default:
        break;
    }
    return kGood;
}

// "@N0433E0054": the longitude letter is the key at 6..8, the latitude letter 5 before it.
int Decoder::decodePosition(const std::string& line)
{
    size_t key = keyPosition(line, 'E');
    if (key == 0)
        key = keyPosition(line, 'W');
    if (!within(key, 6, 8))
        return 2;
    const size_t k = key - 1;
    const size_t letter = k - 5;
    const long latitude = number(line, letter + 1);
    const long longitude = number(line, k + 1);
    s_.latitude = to16(latitude);
    s_.longitude = to16(longitude);
    s_.latHemisphere = line[letter] == 'S' ? 'S' : 'N';
    s_.lonHemisphere = line[k];
    s_.positionValid = true;
    m_.latText = tenthsText(s_.latitude);
    m_.lonText = tenthsText(s_.longitude);
    return kGood;
}

// "HR0877 0900": relative heading after the "R", ship heading 6 after it.
int Decoder::decodeHeading(const std::string& line)
{
    const size_t key = keyPosition(line, 'R');
    if (!within(key, 1, 3))
        return 3;
    const size_t k = key - 1;
    m_.relHeading = int(number(line, k + 1) & 4095);
    m_.heading = int(number(line, k + 6) & 4095);
    m_.relText = tenthsText(m_.relHeading);
    m_.hdgText = tenthsText(m_.heading);
    return kGood;
}

// "q1150 6875": frequency (MHz, a fraction allowed) after the key, the symbol-rate field 6
// after it, shown four times over; "0999" is the receiver's mark for no rate.
int Decoder::decodeReceiver(const std::string& line)
{
    const size_t key = keyPosition(line, 'q');
    if (!within(key, 1, 3))
        return 4;
    const size_t k = key - 1;
    m_.frequency = int(std::clamp(Val(line, k + 1), -2.0e9, 2.0e9)); // whole MHz
    const std::string fraction = fractionDigits(line, k + 1);
    m_.freqText = std::to_string(m_.frequency);
    m_.ifText = fraction.empty() ? "0" : fraction;
    const long field = number(line, k + 6);
    m_.baud = int(field * 4);
    m_.baudText = field == 999 ? "xxx" : std::to_string(m_.baud);
    return kGood;
}

// "uG0900V0400 0500": polarisation (4 characters) after the key, "V" and the external AGC
// after it, the tracking threshold 11 after the key.
int Decoder::decodePolarisation(const std::string& line)
{
    const size_t key = keyPosition(line, 'G');
    if (!within(key, 1, 3))
        return 5;
    const size_t k = key - 1;
    m_.polText = trimRight(line.substr(k + 1, 4));
    const size_t v = line.find('V', k + 5);
    if (v != npos) {
        const size_t end = line.find(' ', v + 1);
        m_.eAgcText = line.substr(v + 1, end == npos ? npos : end - v - 1);
        m_.eAgc = int(number(line, v + 1));
        const int systemType = s_.slot('N');
        if (systemType & kSystemTypeExtModemLock) {
            bool locked = m_.eAgc < kExtAgcLockedBelow;
            if (systemType & kSystemTypeModemLockInHi)
                locked = !locked;
            m_.modemLocked = locked;
        } else {
            m_.modemLocked = false; // the box shows no lock without an external modem
        }
    }
    m_.threshold = int(number(line, k + 11));
    m_.thrsText = afmtINT3(m_.threshold);
    return kGood;
}

// "%L2550": three times the signal level after the key.
int Decoder::decodeSignal(const std::string& line)
{
    const size_t key = keyPosition(line, 'L');
    if (!within(key, 1, 3))
        return 6;
    m_.agc = int(roundEven(std::clamp(Val(line, key), -2.0e9, 2.0e9) / 3));
    return kGood;
}

int Decoder::decodeVersion(const std::string& line)
{
    if (line.find("VER") == npos)
        return 7;
    m_.acuVersion = line;
    return kGood;
}

// "PE0400 1777 0900": elevation after the key, azimuth 6 after it, cross-level 11 after it.
int Decoder::decodeAntenna(const std::string& line)
{
    const size_t key = keyPosition(line, 'E');
    if (!within(key, 1, 9))
        return 8;
    const size_t k = key - 1;
    m_.elevation = int(number(line, k + 1) & 4095);
    m_.azimuth = int(number(line, k + 6) & 4095);
    m_.third = int(number(line, k + 11));
    m_.elText = tenthsText(m_.elevation);
    m_.azText = tenthsText(m_.azimuth);
    m_.thirdText = tenthsText(m_.third);
    return kGood;
}

// "SHx@@L2550 Ac": status words 1 and 2 and error words 1 and 2 as one character each after
// the key, "L" and the AGC (three times the level), then the receiver's flags and status.
int Decoder::decodeStatus(const std::string& line)
{
    const size_t key = keyPosition(line, 'S');
    // Words 1, 2 and error word 1 must be there; error word 2 may be missing.
    if (!within(key, 1, 6) || key + 3 > line.size())
        return 9;
    const size_t k = key - 1;
    s_.acuWord1 = byteAt(line, k + 1);
    s_.acuWord2 = byteAt(line, k + 2);
    s_.acuError1 = byteAt(line, k + 3);
    s_.acuError2 = codeAt(line, k + 4);
    m_.rxCompanion = codeAt(line, k + 11);
    m_.rxStatus = codeAt(line, k + 12);
    m_.tracking = (s_.acuWord1 & 8) ? 8 : 0;

    const bool carriesAgc = codeAt(line, k + 5) == 'L';
    if (carriesAgc) {
        m_.agcText = line.substr(k + 6, 4);
        m_.agc = int(roundEven(std::clamp(Val(m_.agcText), -2.0e9, 2.0e9) / 3));
    }
    if (m_.rxStatus != m_.rxStatusShown)
        showReceiverStatus(m_.rxStatus);
    superviseTracking(carriesAgc);
    if (statusDecoded)
        statusDecoded();
    return kGood;
}

// Receiver status byte: bits 0..2 FEC code, bit 3 FEC star, bit 4 tone on, bit 5 18 V.
// 0 means the receiver sent nothing: the texts go blank.
void Decoder::showReceiverStatus(int status)
{
    m_.rxStatusShown = status;
    if (status == 0) {
        m_.toneText.clear();
        m_.voltText.clear();
        m_.fecText.clear();
        m_.scpc = false;
        return;
    }
    static const char* const kFec[8] = {" AUTO", " 1/2", " 2/3", " 3/4",
                                        " 5/6",  " 6/7", " 7/8", " SCPC"};
    const int code = status & 7;
    m_.toneText = (status & 16) ? "  ON" : " OFF";
    m_.voltText = (status & 32) ? " 18V" : " 13V";
    m_.fecText = kFec[code];
    if (status & 8)
        m_.fecText += "*";
    if (m_.fecText == " SCPC*")
        m_.fecText = " LSCP";
    m_.scpc = code == 7;
}

// The Tracking lamp (lamp 0), after each status reply. Its states as the lamp switches show
// them, with the cycle mark always off:
//   dark      hollow, not flashing: the ACU is not tracking;
//   lit       filled, not flashing: tracking with the signal above the threshold;
//   flashing  filled with lampFlashing[0] set: tracking with the signal at or below the
//             threshold; the window blinks it on its own even beat, and lowSignalCount numbers
//             those replies from 1.
void Decoder::superviseTracking(bool carriesAgc)
{
    Lamp& lamp = m_.lamps[0];
    lamp.cycleMark = false;
    if (m_.tracking == 0) {
        lamp.hollow = true;
        m_.lampFlashing[0] = false;
        m_.lowSignalCount = 0;
        return;
    }
    if (!carriesAgc)
        return;
    if (m_.agc > m_.threshold) {
        lamp.hollow = false;
        m_.lampFlashing[0] = false;
        m_.lowSignalCount = 0;
    } else {
        lamp.hollow = false;
        m_.lampFlashing[0] = true;
        m_.lowSignalCount = std::min(m_.lowSignalCount + 1, kLowSignalCountMax);
    }
}

// "cL0850": the level at the frequency the command tuned.
int Decoder::decodeSpectrum(const std::string& line, const std::string& command)
{
    const size_t key = keyPosition(line, 'L');
    if (!within(key, 1, 3))
        return kIgnored;
    GraphSample sample;
    sample.kind = 'c';
    sample.a = double(number(line, key));
    sample.b = double(number(command, 1));
    toGraph(sample);
    return kGood;
}

// ---------------------------------------------------------------- PCU replies

int Decoder::decodePcu(const std::string& line, const std::string& command)
{
    if (command.size() < 5)
        return kIgnored;
    const auto three = [&line](size_t mark, auto value) {
        return std::array<double, 3>{value(number(line, mark + 3)), value(number(line, mark + 8)),
                                     value(number(line, mark + 13))};
    };
    const auto sensor = [](long n) { return double(n - 2048) * 0.25; };
    GraphSample sample;
    switch (command[4]) {
    case 'S': {
        const size_t key = keyPosition(line, 'S');
        if (!within(key, 1, 6))
            return kIgnored;
        for (size_t i = 0; i < 4; ++i)
            s_.pcuWord[i] = codeAt(line, key + i, '@');
        return kGood;
    }
    case 'V':
        m_.pcuVersion = line;
        return kGood;
    case 'v': {
        const size_t lower = line.find("v "), upper = line.find("V ");
        const size_t mark = std::min(lower, upper);
        if (mark == npos)
            return kIgnored;
        const auto n = three(mark, [](long x) { return double(x); });
        sample.kind = line[mark];
        sample.a = sensor(long(n[0]));
        sample.b = sensor(long(n[1]));
        sample.c = sample.kind == 'v' ? n[2] - 2048 : (n[2] - 2048) / 5;
        break;
    }
    case 'w': {
        const size_t mark = line.find("w ");
        if (mark == npos)
            return kIgnored;
        const auto n = three(mark, sensor);
        sample.kind = 'w';
        sample.a = n[0];
        sample.b = n[1];
        sample.c = n[2];
        break;
    }
    case 'x': {
        const size_t mark = line.find("iv");
        if (mark == npos)
            return kIgnored;
        sample.kind = 'x';
        sample.a = double(HexVal(line, mark + 3));
        sample.b = double(HexVal(line, mark + 8));
        sample.c = double(HexVal(line, mark + 13));
        sample.status = codeAt(line, mark + 2, '@') - '@';
        break;
    }
    case 'y': {
        const size_t mark = line.find("tc");
        if (mark == npos)
            return kIgnored;
        const auto n = three(mark, [](long x) { return double(x); });
        sample.kind = 'y';
        sample.a = n[0];
        sample.b = n[1];
        sample.c = n[2];
        break;
    }
    default:
        return kIgnored;
    }
    toGraph(sample);
    return kGood;
}

void Decoder::toGraph(const GraphSample& sample)
{
    if (graph) {
        graph(sample);
        return;
    }
    auto& kept = m_.graphSamples;
    if (kept.size() >= kMaxGraphSamples)
        kept.erase(kept.begin(), kept.begin() + std::ptrdiff_t(kept.size() - kMaxGraphSamples + 1));
    kept.push_back(sample);
}

// ---------------------------------------------------------------- screens

namespace {

bool isItemScreen(int state)
{
    return (state >= 17 && state <= 19) || (state >= 33 && state <= 41) ||
           (state >= 133 && state <= 160);
}

// The satellite longitude from its parameters: tenths in "h" (high byte) and "i" (low byte),
// the hemisphere in "j" (16 = west).
std::string satelliteLongitude(PanelShared& s)
{
    const long tenths = byteOf(s.slot('h')) * 256 + byteOf(s.slot('i'));
    return tenthsText(tenths) + ((s.slot('j') & 16) ? "W" : "E");
}

std::string withHemisphere(const std::string& text, char hemisphere, bool valid)
{
    return valid ? text + hemisphere : text;
}

// A two-byte parameter: high byte under `hi`, low byte under `lo`.
unsigned twoBytes(PanelShared& s, unsigned char hi, unsigned char lo)
{
    return unsigned(byteOf(s.slot(hi))) * 256 + unsigned(byteOf(s.slot(lo)));
}

enum class ItemKind { Trim, Byte, Word, StepSize, SystemType };

struct ModeItem {
    int state;
    ItemKind kind;
    const char* title;       // 15 characters; 14 for the trims, whose value brings its sign
    const char* altTitle;    // the step screens' title in the second tracking method
    unsigned char code;      // the parameter, or its high byte
    unsigned char lowCode;   // the low byte of a two-byte parameter
};

constexpr ModeItem kModeItems[] = {
    {133, ItemKind::Trim, "El Trim       ", nullptr, 'A', 'B'},
    {134, ItemKind::Trim, "Az Trim       ", nullptr, 'C', 'D'},
    {135, ItemKind::Byte, "Auto Thrs      ", nullptr, 'F', 0},
    {136, ItemKind::StepSize, "El Step Size   ", "El Sensitivity ", 'G', 0},
    {137, ItemKind::StepSize, "Az Step Size   ", "Az Sensitivity ", 'H', 0},
    {138, ItemKind::Byte, "Step Integral  ", nullptr, 'I', 0},
    {139, ItemKind::Byte, "Search Inc     ", nullptr, 'J', 0},
    {140, ItemKind::Byte, "Search Limit   ", nullptr, 'K', 0},
    {141, ItemKind::Byte, "Search Delay   ", nullptr, 'L', 0},
    {142, ItemKind::Byte, "Sweep Inc      ", nullptr, 'M', 0},
    {144, ItemKind::SystemType, nullptr, nullptr, 'N', 0},
    {145, ItemKind::Byte, "Gyro Type      ", nullptr, 'O', 0},
    {146, ItemKind::Byte, "Polang Type    ", nullptr, 'P', 0},
    {147, ItemKind::Byte, "Pol Offset     ", nullptr, 'Q', 0},
    {148, ItemKind::Byte, "Pol Scale      ", nullptr, 'R', 0},
    {149, ItemKind::Byte, "Tx Polarity    ", nullptr, 'W', 0},
    {151, ItemKind::Byte, "Track Display  ", nullptr, kTrackDisplayCode, 0},
    {152, ItemKind::Word, "Az Limit 1     ", nullptr, 'S', 'T'},
    {153, ItemKind::Word, "Az Limit 2     ", nullptr, 'U', 'V'},
    {154, ItemKind::Byte, "El Limit 12    ", nullptr, 134, 0},
    {155, ItemKind::Word, "Az Limit 3     ", nullptr, 'Y', 'Z'},
    {156, ItemKind::Word, "Az Limit 4     ", nullptr, '[', '\\'},
    {157, ItemKind::Byte, "El Limit 34    ", nullptr, 135, 0},
    {158, ItemKind::Word, "Az Limit 5     ", nullptr, ']', '^'},
    {159, ItemKind::Word, "Az Limit 6     ", nullptr, '_', '`'},
    {160, ItemKind::Byte, "El Limit 56    ", nullptr, 136, 0},
};

} // namespace

void Decoder::Redraw()
{
    const int state = m_.displayState;
    if (isItemScreen(state) && m_.redrawCountdown <= 0)
        return; // the item is being edited: later replies must not overwrite it

    auto& line = m_.text5;
    const std::string agc = afmtINT3(m_.agc);
    const std::string lat = withHemisphere(m_.latText, s_.latHemisphere, s_.positionValid);
    const std::string lon = withHemisphere(m_.lonText, s_.lonHemisphere, s_.positionValid);

    switch (state) {
    case 16:
        line[0] = "LAT " + lat;
        line[1] = "LON " + lon;
        line[2] = "HDG " + m_.hdgText;
        return;
    case 17: line[0] = lat; return;
    case 18: line[1] = lon; return;
    case 19: line[2] = m_.hdgText; return;
    case 32:
        line[0] = "SAT " + satelliteLongitude(s_);
        if (m_.scpc || m_.mode70) {
            line[1] = " THRS " + m_.thrsText;
            line[2] = "IF " + m_.freqText + "." + m_.ifText;
            line[3] = " AGC  " + agc;
        } else {
            line[1] = "THRS " + m_.thrsText;
            line[2] = "FREQ " + m_.freqText;
            line[3] = "AGC  " + agc;
        }
        return;
    case 33: line[0] = satelliteLongitude(s_); return;
    case 34: line[1] = m_.thrsText; return;
    case 35: line[2] = m_.freqText + "MHZ  "; break;
    case 36: line[2] = "BAUD " + m_.baudText + "KHZ  "; break;
    case 37: line[2] = "TONE " + m_.toneText; break;
    case 38: line[2] = "VOLT " + m_.voltText; break;
    case 39: line[2] = "FEC " + m_.fecText; break;
    case 40: line[2] = "SKEW " + m_.skewText; break;
    case 41: line[2] = "NID  " + m_.nidText; break;
    case 64:
        line[0] = "AZ  " + m_.azText;
        line[1] = "EL  " + m_.elText;
        line[2] = "REL " + m_.relText;
        line[3] = "AGC " + agc;
        return;
    case 68: line[2] = "POL " + m_.polText; return;
    case 129: line[2] = m_.acuVersion; return;
    case 130: line[2] = m_.pcuVersion; return;
    case 131:
        line[1] = std::string("SEARCH 2 ") +
                  ((s_.slot('I') & kStepIntegralSearch2) ? "ON" : "OFF");
        return;
    default:
        if (state >= 133 && state <= 160)
            redrawItem(state);
        return;
    }
    // Screens 35 to 41 show the signal level below their item.
    line[3] = "AGC  " + agc;
}

// Line 2 of a MODE setup screen: the item's title and its value.
void Decoder::redrawItem(int state)
{
    const auto it = std::find_if(std::begin(kModeItems), std::end(kModeItems),
                                 [state](const ModeItem& i) { return i.state == state; });
    if (it == std::end(kModeItems))
        return; // 143 and 150 have no item
    std::string& line = m_.text5[2];
    switch (it->kind) {
    case ItemKind::Trim: {
        long v = long(twoBytes(s_, it->code, it->lowCode));
        if (v >= 32768)
            v -= 65536;
        line = std::string(it->title) + (v < 0 ? "-" : " ") + afmtINT3(v < 0 ? -v : v);
        break;
    }
    case ItemKind::Byte:
        line = it->title + afmtINT3(unsigned16(s_.slot(it->code)));
        break;
    case ItemKind::Word:
        line = it->title + afmtINT4(twoBytes(s_, it->code, it->lowCode));
        break;
    case ItemKind::StepSize: {
        const bool search2 = s_.slot('I') & kStepIntegralSearch2;
        line = std::string(search2 ? it->altTitle : it->title) +
               afmtINT3(unsigned16(s_.slot(it->code)));
        break;
    }
    case ItemKind::SystemType:
        line = m_.systemTypeCaption;
        break;
    }
}

} // namespace panel
