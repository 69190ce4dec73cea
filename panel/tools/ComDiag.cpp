#include "ComDiag.h"

#include "panel/core/Format.h"

#include <cstdlib>

namespace panel {

const std::array<DiagButton, 11> kDiagButtons = {{
    {0, "Repeat", "Repeat the \"Last Sent\" command", nullptr},
    {1, "? S", "PCU Status, right click to decode", "?   S"},
    {2, "PCU Aux", "Common PCU Tasks", nullptr},
    {3, "ACU Aux", "Common ACU Tasks", nullptr},
    {4, "Circlex Tg", "Toggle PCU Circlex On / Off (^0067)", "^0067"},
    {5, "Sat Reference", "Set PCU 'Sat Reference' Mode (^0071)", "^0071"},
    {6, "Slow Scan", "Set PCU 'Slow Scan' Target Mode (^0070)", "^0070"},
    {8, "CL Test", "Start Cross Level Torque Drive Test", nullptr},
    {9, "AZ Test", "Start Azimuth Torque Drive Test", nullptr},
    {10, "Tilt Mode", "Set PCU 'Tilt' Mode (^0084)", "^0084"},
    {11, "Normal Mode", "Clear All PCU Special modes (^0000)", "^0000"},
}};

const std::array<DiagMenuEntry, 17> kAcuAuxMenu = {{
    {"mnuACU_Stat", "S      ACU Status, AGC, Rem/Lcl Band", "S"},
    {"mnuACU_Pos", "P      El, Az, Cl Position", "P"},
    {"mnuACU_Hdg", "H      Relative Az, Heading", "H"},
    {"mnuACU_u", "u      Aux Polang, Ext AGC, Threshold", "u"},
    {"mnuACU_Ver", "V      ACU Version", "V"},
    {"mnuACU_GPS", "@     ACU GPS Position, 0.1Deg (6 Nm)", "@"},
    {"mnuACU_Ton", "C          Tracking ON", "C"},
    {"mnuACU_Toff", "D          Tracking OFF", "D"},
    {"mnuACU_Find", "F1234   Find Selected Satellite", "F1234"},
    {"mnuACU_Reb", "\\0090    Reboot ACU", "\\0090"},
    {"mnuACU_Save", "\\0087    Save ACU parameters", "\\0087"},
    {"mnuACU_LockPort", "[L          Lock Port", "[L   "},
    {"mnuACU_UnlockPort", "[M         Unlock Port", "[M   "},
    {"mnuACU_PCUg", "?  @      PCU qualified GPS Position, (1 Nm) ", "?   @"},
    {"mnuACU_DVBVer", "wV, w!  Read DVB version", "wV   "},
    {"mnuACU_ComVer", "[V          Read CommIF Version", "[V   "},
    {"mnuACU_Err", "Reset ACU Error Status ", "&"},
}};

const std::array<DiagMenuEntry, 16> kPcuAuxMenu = {{
    {"mnuPCU_Ver", "?  V   PCU Version", "?   V"},
    {"mnuPCU_Ref", "?  v   PCU References", "?   v"},
    {"mnuPCU_IVC", "?  x   PCU IVC Loop Errors", "?   x"},
    {"mnuPCU_Torque", "?  y   PCU Torque Commands", "?   y"},
    {"mnuPCU_GPS", "?  @  PCU qualified GPS position (1 min)", "?   @"},
    {"mnuPCU_GPSraw", "?  ?   PCU raw GPS position         (1 min)", "?   ?"},
    {"mnuPCU_GPSfine", "?  =  PCU fine GPS position  (.0001 min) ", "?   ="},
    {"mnuPCU_Dish", "^0067  Circlex Toggle", "^0067"},
    {"mnuPCU_Sat", "^0071  Sat Reference Mode", "^0071"},
    {"mnuPCU_SS", "^0070  Slow Scan Mode", "^0070"},
    {"mnuPCU_Tilt", "^0084  Tilt/Test Mode", "^0084"},
    {"mnuPCU_Norm", "^0000  Normal Mode", "^0000"},
    {"mnuPCU_Save", "^0087  Save PCU Parameters", "^0087"},
    {"mnuPCU_Reb", "^0090  Reboot PCU", "^0090"},
    {"mnuPCU_HFRef", "^0082  Clear AZ HF Err", "^0082"},
    {"mnuPCU_Err", "Reset PCU Error Status", "?   &"},
}};

const std::array<PcuStatusEntry, 18> kPcuStatusEntries = {{
    {"Slow Scan", 1, 5},
    {"Sat Reference Enabled", 1, 4},
    {"Circlex", 1, 3},
    {"Unwrap", 1, 2},
    {"Data 3", 1, 1},
    {"Data 2", 1, 0},
    {"AZ Target", 2, 5},
    {"Sat Reference Active", 2, 4},
    {"Valid Heading (PCU)", 2, 3},
    {"PCU Error", 2, 2},
    {"PCU Init", 2, 1},
    {"Hi ELevation", 2, 0},
    {"Sensor Limit", 3, 5},
    {"Stability Limit", 3, 4},
    {"AZ Reference Error", 3, 3},
    {"AZ Servo Limit", 3, 2},
    {"LV Servo Limit", 3, 1},
    {"CL Servo Limit", 3, 0},
}};

namespace {

const std::string kCrLf = "\r\n";
constexpr const char* kDvbVersion = "mnuACU_DVBVer";
constexpr int kLevel = 900; // cross-level reading of a level axis, tenths

// A command of the tests as it goes into the typed-text queue.
std::string line(const std::string& command) { return command + kCrLf; }

bool isDriveStep(const std::string& queued)
{
    return queued.size() == 7 && (queued.compare(0, 2, "^3") == 0 || queued.compare(0, 2, "n8") == 0);
}

bool endsWith(const std::string& s, const std::string& tail)
{
    return !tail.empty() && s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

ComDiag::ComDiag(PanelShared& shared, const MainState& main, common::Clock& clock)
    : s_(shared), m_(main), stepTimer_(clock.createTimer()), reportTimer_(clock.createTimer())
{
    stepTimer_->setInterval(kStepInterval);
    stepTimer_->onTick = [this] { StepTimer_Timer(); };
    reportTimer_->setInterval(kReportInterval);
    reportTimer_->onTick = [this] { ReportTimer_Timer(); };
}

ComDiag::~ComDiag()
{
    stepTimer_->setEnabled(false);
    reportTimer_->setEnabled(false);
}

void ComDiag::notify()
{
    if (changed)
        changed();
}

// ---------------------------------------------------------------- sending

void ComDiag::Send()
{
    text3.clear();
    // One character is a query and goes as it is; anything longer is a line command.
    s_.oneShot = text1.size() >= 2 ? text1 + kCrLf : text1;
    notify();
}

void ComDiag::cmdRepeat_Click(int index)
{
    switch (index) {
    case Repeat:
        Send();
        return;
    case PcuAux:
    case AcuAux:
        return; // the window pops up the menu
    case ClTest:
    case AzTest:
        if (tag_ == (index == ClTest ? "CL Test" : "AZ Test")) {
            abortTest();
        } else if (!testRunning()) {
            if (index == ClTest)
                startCrossLevel();
            else
                startAzimuth();
        }
        notify();
        return;
    default:
        break;
    }
    for (const auto& b : kDiagButtons) {
        if (b.index == index && b.command) {
            text1 = b.command;
            Send();
            return;
        }
    }
}

void ComDiag::mnuAux_Click(const DiagMenuEntry& entry)
{
    text1 = entry.command;
    // The DVB version is asked in two steps ("wV", then "w!"); the request also goes through
    // the typed-text queue at once.
    if (std::string(entry.name) == kDvbVersion)
        s_.typed += text1 + kCrLf;
    Send();
}

void ComDiag::Text2_Enter()
{
    std::string t = text2;
    text2.clear();
    text3.clear();
    if (t.empty() || t[0] != 'F') {
        // "?S" becomes "?   S": blanks after the first character fill it to five.
        t = t.substr(0, 5);
        if (t.size() > 1) {
            t.insert(1, 5 - t.size(), ' ');
            t += kCrLf;
        }
    } else {
        t += "\r"; // a find command ends with CR alone
    }
    s_.oneShot = t;
    text1 = t.substr(0, 5);
    notify();
}

void ComDiag::showResponse(const std::string& response)
{
    text3 = response;
    notify();
}

// ---------------------------------------------------------------- status, stop, height

void ComDiag::PcuStatusDecode()
{
    const size_t key = text3.find('S');
    if (key != std::string::npos && key < 6) {
        for (size_t i = 0; i < kPcuStatusEntries.size(); ++i) {
            const auto& e = kPcuStatusEntries[i];
            const size_t at = key + size_t(e.word);
            // A word missing at the end of the line shows no flags.
            const int word = at < text3.size() ? static_cast<unsigned char>(text3[at]) : '@';
            pstat_[i] = (word >> e.bit) & 1;
        }
    }
    notify();
}

void ComDiag::chkSTOP_Click(bool checked)
{
    s_.diagStop = checked;
    notify();
}

void ComDiag::Command1_Click()
{
    heightTwips_ = heightTwips_ == kOpenHeightTwips ? kShortHeightTwips : kOpenHeightTwips;
    notify();
}

void ComDiag::Form_Unload()
{
    if (testRunning())
        abortTest();
    s_.diagStop = false;
    notify();
}

// ---------------------------------------------------------------- torque drive tests

std::string ComDiag::caption(int index) const
{
    if ((index == ClTest && test_ == Test::CrossLevel) || (index == AzTest && test_ == Test::Azimuth))
        return "Stop";
    for (const auto& b : kDiagButtons)
        if (b.index == index)
            return b.caption;
    return {};
}

std::optional<int> ComDiag::AzFirstTarget(int p)
{
    // The feed's travel is two turns, 0 to 720.0 with 360.0 in the middle; its test points are
    // 135.0 and 585.0, and 90.0 / 630.0 bring it in from the ends.
    if (p >= 0 && p <= 100)
        return 900;
    if (p >= 1200 && p <= 1450)
        return 5850; // at the lower test point: the full run up
    if ((p >= 1700 && p <= 1900) || (p >= 3500 && p <= 3700))
        return 1350;
    if (p >= 5750 && p <= 5950)
        return 1350; // at the upper test point: the full run down
    if (p > 6000)
        return 6300;
    return std::nullopt;
}

int ComDiag::polarisationReading() const
{
    return int(roundEven(Val(m_.polText)));
}

void ComDiag::startCrossLevel()
{
    test_ = Test::CrossLevel;
    tag_ = "CL Test";
    if (m_.third > kLevel) {
        target_ = 650;
        text3 = " Moving Down";
    } else {
        target_ = 1150;
        text3 = " Moving Up";
    }
    queue("I" + afmtINT4(target_));
    queue("^0070");
    phase_ = Phase::Moving;
    moveReports_ = 0;
    reportTimer_->setEnabled(true);
}

void ComDiag::startAzimuth()
{
    savedAzimuth_ = m_.azimuth;
    const int p = polarisationReading();
    const auto target = AzFirstTarget(p);
    if (!target) {
        text3 = " ????"; // not where the test can start from: nothing moves
        return;
    }
    test_ = Test::Azimuth;
    tag_ = "AZ Test";
    target_ = *target;
    text3 = target_ > p ? " Moving Up" : " Moving Down";
    queue("J" + afmtINT4(target_));
    phase_ = Phase::Moving;
    moveReports_ = 0;
    reportTimer_->setEnabled(true);
}

bool ComDiag::arrived() const
{
    if (test_ == Test::CrossLevel)
        return std::abs(m_.third - target_) <= kClArrivedWithin;
    return std::abs(polarisationReading() - target_) <= kAzArrivedWithin;
}

void ComDiag::ReportTimer_Timer()
{
    flush();
    switch (phase_) {
    case Phase::Moving:
        ++moveReports_;
        if (arrived() || moveReports_ >= (test_ == Test::CrossLevel ? kClMoveReports : kAzMoveReports)) {
            text3 = " Paused";
            phase_ = Phase::Paused;
        }
        break;
    case Phase::Paused:
        phase_ = Phase::Stepping;
        if (test_ == Test::Azimuth)
            queue("^0070"); // the azimuth runs in slow scan at the stepped scan rate
        step_ = test_ == Test::CrossLevel ? kClStartStep : kAzStartStep;
        stepTimer_->setEnabled(true);
        break;
    case Phase::Canceling:
        text3 = " Canceled";
        phase_ = Phase::Idle;
        break;
    case Phase::Idle:
    case Phase::Stepping:
        break;
    }
    keepReporting();
    notify();
}

void ComDiag::StepTimer_Timer()
{
    flush();
    if (phase_ != Phase::Stepping || step_ < 0) {
        stepTimer_->setEnabled(false);
        return;
    }
    queueStep((test_ == Test::CrossLevel ? "^3" : "n8") + afmtINT3(step_));
    --step_;
    if (step_ < 0) {
        stepTimer_->setEnabled(false);
        finishTest();
    }
    notify();
}

// The antenna back where the test found it: level (CL), the normal scan rate and the saved
// azimuth (AZ); the PCU back in normal mode first, so that slow scan no longer drives it.
void ComDiag::endTest()
{
    queue("^0000");
    if (test_ == Test::CrossLevel) {
        queue("I0900");
    } else {
        queue("n8008");
        queue("A" + afmtINT4(savedAzimuth_));
    }
    test_ = Test::None;
    tag_.clear();
}

void ComDiag::finishTest()
{
    text3 = test_ == Test::CrossLevel ? "CL Test Done" : "AZ Test Done";
    endTest();
    phase_ = Phase::Idle;
    keepReporting();
}

void ComDiag::abortTest()
{
    stepTimer_->setEnabled(false);
    reportTimer_->setEnabled(false);
    dropWaitingSteps();
    text3 = test_ == Test::CrossLevel ? "CL Test Aborting" : "AZ Test Aborting";
    endTest();
    phase_ = Phase::Canceling;
    reportTimer_->setEnabled(true); // " Canceled" a second from now
}

// The report timer also feeds the typed-text queue: it runs while a test runs or commands
// still wait.
void ComDiag::keepReporting()
{
    const bool needed = phase_ == Phase::Moving || phase_ == Phase::Paused || phase_ == Phase::Canceling ||
                        !outbox_.empty();
    if (reportTimer_->enabled() != needed)
        reportTimer_->setEnabled(needed);
}

void ComDiag::queue(const std::string& command)
{
    outbox_.push_back(line(command));
    flush();
}

// A drive step is a level, not a move: a newer one replaces one that has not left yet.
void ComDiag::queueStep(const std::string& command)
{
    const std::string queued = line(command);
    if (!outbox_.empty() && isDriveStep(outbox_.back())) {
        outbox_.back() = queued;
    } else if (outbox_.empty() && endsWith(s_.typed, lastStep_)) {
        s_.typed.replace(s_.typed.size() - lastStep_.size(), lastStep_.size(), queued);
        lastStep_ = queued;
    } else {
        outbox_.push_back(queued);
    }
    flush();
}

void ComDiag::dropWaitingSteps()
{
    outbox_.clear();
    if (endsWith(s_.typed, lastStep_))
        s_.typed.erase(s_.typed.size() - lastStep_.size());
    lastStep_.clear();
}

// Moves waiting commands into the typed-text queue while it stays below the length that the
// scheduler would send twice.
void ComDiag::flush()
{
    while (!outbox_.empty() && s_.typed.size() + outbox_.front().size() < kTypedLimit) {
        const std::string next = std::move(outbox_.front());
        outbox_.pop_front();
        s_.typed += next;
        if (isDriveStep(next))
            lastStep_ = next;
    }
    if (!outbox_.empty() && !reportTimer_->enabled())
        reportTimer_->setEnabled(true);
}

} // namespace panel
