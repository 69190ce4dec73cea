#include "PanelLink.h"

#include "common/SettingsStore.h"

namespace panel {

using common::Ms;

namespace {
const char* kAntennaPoll = "SPHuSPHqSPH@SPH!?   S%SPH!mN999";
}

PanelLink::PanelLink(PanelShared& shared, MainState& main, common::Clock& clock, PanelUi& ui,
                     LinkFactory makeLink, common::SettingsStore* store)
    : s_(shared), m_(main), clock_(clock), ui_(ui), makeLink_(std::move(makeLink)), store_(store),
      timer1_(clock.createTimer()), timer2_(clock.createTimer()), timer3_(clock.createTimer())
{
    timer1_->onTick = [this] { Timer1_Timer(); };
    timer2_->onTick = [this] { Timer2_Timer(); };
    timer3_->onTick = [this] { Timer3_Timer(); };
    timer2_->setInterval(Ms{m_.timeoutMs});
    timer3_->setInterval(Ms{m_.pacingMs});
}

PanelLink::~PanelLink()
{
    timer1_->setEnabled(false);
    timer2_->setEnabled(false);
    timer3_->setEnabled(false);
    if (link_) {
        link_->onData = nullptr;
        link_->onError = nullptr;
        link_->onLost = nullptr;
    }
}

bool PanelLink::activeIsSerial() const
{
    if (s_.endpoint)
        return s_.endpoint->serial;
    return s_.profiles[s_.profiles.select].serial;
}

std::string PanelLink::settingsText() const
{
    if (s_.endpoint) {
        const auto& e = *s_.endpoint;
        if (!e.serial)
            return "Settings: IP  " + e.host + " : " + std::to_string(e.port);
        const std::string settings = e.settings.empty() ? s_.profiles[s_.profiles.select].settings : e.settings;
        return "Settings: " + e.device + ": " + settings;
    }
    const auto& p = s_.profiles[s_.profiles.select];
    if (!p.serial)
        return "Settings: IP  " + p.address + " : " + std::to_string(p.port);
    // The device path the port number maps to is shown too, so the mapping is never a guess.
    return "Settings: Com" + std::to_string(p.commPort) + ": " + p.settings + "  ("
           + common::serialDevicePath(p.commPort, store_) + ")";
}

void PanelLink::setPortLamp(Rgb fill, bool lit)
{
    auto& l = m_.lamps[kPortLamp];
    l.fill = fill;
    l.hollow = !lit;
    l.cycleMark = !lit;
}

// ---------------------------------------------------------------- start-up and shut-down

void PanelLink::Startup()
{
    setReplyTimeout(3000);
    setPacing(200);
    for (int i = 0; i < 7; ++i) {
        m_.lamps[i].hollow = false;
        m_.lamps[i].cycleMark = false;
    }
    m_.poll = std::string(1, '\x1b');
    m_.pollPos = 1;
    if (store_) {
        s_.profiles.load(*store_);
        m_.showQuery = common::toBool(store_->get(common::kSection, "Query", "False"), false);
    }
    // The stored antenna is selected without asking.
    s_.selectionGuard = true;
    ui_.selectAntennaButton(s_.profiles.select - 1);
    s_.selectionGuard = false;
    s_.terminator = "\r\n";
    if (store_ && store_->get(common::kSection, "Mode", "DVB") == "70MHz")
        setReceiverMode70(true);
    mnuOpen_Click();
    timer1_->setInterval(Ms{1500});
    timer1_->setEnabled(true);
    // The satellite screen's texts stand blank until the ACU has reported them.
    for (std::string* t : {&m_.thrsText, &m_.freqText, &m_.ifText, &m_.nidText, &m_.skewText})
        *t = "    ";
    m_.toneText = "  ";
    ui_.refresh();
}

void PanelLink::Shutdown()
{
    timer1_->setEnabled(false);
    timer2_->setEnabled(false);
    timer3_->setEnabled(false);
    if (store_) {
        store_->save(common::kSection, "Query", common::boolText(m_.showQuery));
        store_->save(common::kSection, "Mode", m_.mode70 ? "70MHz" : "DVB");
    }
    closeLink();
}

// ---------------------------------------------------------------- menus

void PanelLink::setReplyTimeout(int ms)
{
    m_.timeoutMs = ms;
    timer2_->setInterval(Ms{ms});
    ui_.refresh();
}

void PanelLink::setPacing(int ms)
{
    m_.pacingMs = ms;
    // A dump or an upload keeps its own pacing; the new one applies when it ends.
    if (m_.dumpPos == 0 && !(uploadOpen && uploadOpen()))
        timer3_->setInterval(Ms{ms});
    ui_.refresh();
}

void PanelLink::setReceiverMode70(bool on)
{
    m_.mode70 = on;
    ui_.refresh();
}

void PanelLink::setShowQuery(bool on)
{
    m_.showQuery = on;
    ui_.refresh();
}

// ---------------------------------------------------------------- open and close

void PanelLink::closeLink()
{
    if (link_)
        link_->close();
}

void PanelLink::ensureLink()
{
    if (link_) {
        link_->onData = nullptr;
        link_->onError = nullptr;
        link_->onLost = nullptr;
        // The old link lets go of its device before the new one opens it.
        if (link_->isOpen())
            link_->close();
        link_.reset();
    }
    link_ = makeLink_ ? makeLink_(s_) : nullptr;
    if (!link_)
        return;
    link_->onData = [this](const std::string& d) { OnReceive(d); };
    link_->onError = [this](int code, const std::string& detail) { OnCommError(code, detail); };
}

void PanelLink::mnuOpen_Click()
{
    // A connect wait is running (its events let clicks in): its own outcome decides.
    if (linkWait_)
        return;
    auto& r = s_.ring;
    r.write = 0;
    r.read = activeIsSerial() ? 0 : kRingSize - 1;
    r.oneShotMark = -1;
    r.seqMark = -1;
    s_.dumpCounter = -1;
    m_.status[0] = settingsText();

    if (!activeIsSerial()) {
        s_.open = false;
        const bool wasConnected = link_ && link_->isOpen();
        if (!wasConnected) {
            ensureLink();
            std::string err;
            if (link_ && link_->open(err)) {
                linkWait_ = true;
                clock_.waitUntil([this] { return link_ && link_->isOpen(); }, kConnectWait);
                linkWait_ = false;
            }
            if (link_ && link_->isOpen())
                s_.open = true;
            else
                ui_.message("Error,\rCannot connect to selected IP device.\rCheck PortSettings Properies.", "",
                            PanelUi::Buttons::Ok, PanelUi::Icon::Exclamation);
        } else {
            closeLink();
        }
    } else {
        if (s_.open) {
            closeLink();
            s_.open = false;
        } else {
            ensureLink();
            std::string err;
            if (!link_ || !link_->open(err)) {
                if (err.empty())
                    err = "The serial port could not be opened.";
                ui_.message(err, "", PanelUi::Buttons::Ok, PanelUi::Icon::Exclamation);
            }
            if (link_ && link_->isOpen())
                s_.open = true;
        }
    }

    if (s_.open) {
        setPortLamp(kGreen, true);
        cmdANT_Click();
        m_.status[1] = "Status: Port Open";
    } else {
        setPortLamp(m_.lamps[kPortLamp].fill, false);
        for (auto& t : m_.text5)
            t.clear();
        s_.diagStop = true;
        timer1_->setEnabled(false);
        timer2_->setEnabled(false);
        m_.text5[0] = "Check Comm Port";
        m_.displayState = 0;
        m_.status[1] = "Status: Port Closed";
    }
    ui_.refresh();
}

void PanelLink::optAntenna_Click(int i)
{
    if (s_.selectionGuard) {
        s_.selectionGuard = false;
        return;
    }
    const int active = s_.profiles.select;
    if (linkWait_) {
        // The link is being connected: the choice waits for that to end.
        s_.selectionGuard = true;
        ui_.selectAntennaButton(active - 1);
        s_.selectionGuard = false;
        return;
    }
    const auto answer = ui_.message("Close Port for Antenna " + std::to_string(active) + "\rand\rOpen Port for Antenna "
                                        + std::to_string(i + 1) + "?",
                                    "", PanelUi::Buttons::OkCancel, PanelUi::Icon::Question);
    if (answer == PanelUi::Answer::Cancel) {
        s_.selectionGuard = true;
        ui_.selectAntennaButton(active - 1);
        s_.selectionGuard = false;
        return;
    }
    if (s_.open) {
        if (!activeIsSerial() && !(link_ && link_->isOpen())) {
            // The connection has already gone: the open/close command would try to connect to
            // the antenna being given up, so just mark it closed.
            closeLink();
            s_.open = false;
        } else {
            mnuOpen_Click();
        }
    }
    // A command-line link stands for the profile chosen at start; a new choice uses its own.
    s_.endpoint.reset();
    s_.profiles.select = short(i + 1);
    m_.displayState = 0;
    // What the old antenna's controller reported says nothing of the new one.
    if (antennaChanged)
        antennaChanged();
    mnuOpen_Click();
    if (store_)
        store_->save(common::kSection, "Select", std::to_string(i + 1));
}

// ---------------------------------------------------------------- sending

void PanelLink::CommOut(const std::string& text)
{
    if (!s_.open) {
        ui_.message("Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect.",
                    "", PanelUi::Buttons::Ok, PanelUi::Icon::Exclamation);
        return;
    }
    if (!link_)
        return;
    if (activeIsSerial()) {
        link_->write(text);
    } else {
        if (!link_->isOpen()) {
            std::string err;
            link_->close();
            link_->open(err);
            const Ms began = clock_.now();
            linkWait_ = true;
            do {
                clock_.wait(kReconnectPoll);
            } while (!link_->isOpen() && clock_.now() - began < kConnectWait);
            linkWait_ = false;
            if (!link_->isOpen()) {
                s_.open = false;
                setPortLamp(m_.lamps[kPortLamp].fill, false);
                ui_.refresh();
                ui_.message("Error,\rTCP/IP connection is no longer valid.\rClick LED to re-connect.", "",
                            PanelUi::Buttons::Ok, PanelUi::Icon::Exclamation);
                return;
            }
        }
        link_->write(text);
    }
    if (onSent)
        onSent(text);
}

std::string PanelLink::takeDumpElement()
{
    const std::string& seq = s_.dumpSeq;
    if (m_.dumpPos == 1)
        s_.ring.seqMark = s_.ring.write;
    const size_t i = size_t(m_.dumpPos - 1);
    if (i >= seq.size())
        return {}; // past the end: the dump's owner ends it
    if (seq[i] == '!') {
        m_.dumpPos += 6;
        return seq.substr(i + 1, 5) + s_.terminator;
    }
    m_.dumpPos += 1;
    return std::string(1, seq[i]);
}

std::string PanelLink::takeTypedElement()
{
    std::string& q = s_.typed;
    const size_t len = q.size();
    if (len < 7) {
        std::string e = q.substr(0, 1);
        q.erase(0, 1);
        return e;
    }
    if (len < 19) {
        std::string e = q.substr(0, 7);
        q.erase(0, 7);
        return e;
    }
    // A long text goes out whole twice, on this tick and the next.
    std::string e = q;
    if (m_.longTextTag)
        q.clear();
    m_.longTextTag = !m_.longTextTag;
    return e;
}

std::string PanelLink::takePollElement()
{
    const std::string& seq = m_.poll;
    if (seq.empty())
        return {};
    if (m_.pollPos < 1 || size_t(m_.pollPos) > seq.size())
        m_.pollPos = 1;
    if (m_.pollPos == 1)
        m_.status[2] = "Query: " + seq;
    const size_t i = size_t(m_.pollPos - 1);
    m_.pollPos += 1;
    std::string e(1, seq[i]);
    if (seq[i] == '!') {
        e = seq.substr(i + 1, 5) + s_.terminator;
        m_.pollPos += 5;
    }
    if (size_t(m_.pollPos) > seq.size()) {
        m_.pollPos = 1;
        m_.lamps[kPortLamp].cycleMark = true;
    }
    return e;
}

std::string PanelLink::pickNext()
{
    auto oneShot = [this]() -> std::string {
        if (s_.oneShot.empty())
            return {};
        std::string e = std::move(s_.oneShot);
        s_.oneShot.clear();
        s_.ring.oneShotMark = s_.ring.write;
        return e;
    };
    if (s_.diagStop)
        return oneShot();
    if (s_.sweepFrequency != 0 && sweepNext)
        return sweepNext();
    if (m_.dumpPos != 0)
        return takeDumpElement();
    if (uploadOpen && uploadOpen())
        return uploadNextLine ? uploadNextLine() : std::string();
    if (!s_.oneShot.empty())
        return oneShot();
    if (!s_.typed.empty())
        return takeTypedElement();
    return takePollElement();
}

void PanelLink::Timer3_Timer()
{
    // A send may wait for a TCP reconnect while events keep flowing; a tick that falls inside
    // that wait must not start a second send, or commands would overtake one another and the
    // waits would nest without end.
    if (!s_.open || inTimer3_)
        return;
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(inTimer3_);
    const std::string text = pickNext();
    if (text.empty())
        return;
    if (text == "C" || text == "D") {
        s_.ring.oneShotMark = -1;
    } else if (text.compare(0, 2, "wV") == 0) {
        s_.ring.oneShotMark = -1;
        s_.oneShot = "w!123" + s_.terminator;
    } else {
        s_.ring.slot[size_t(s_.ring.write)] = text;
        s_.ring.write = (s_.ring.write + 1) % kRingSize;
        timer2_->setEnabled(true);
    }
    CommOut(text);
    ui_.refresh();
}

// ---------------------------------------------------------------- receiving

void PanelLink::OnReceive(const std::string& chunk)
{
    m_.lineBuffer += chunk;
    timer2_->restart();
    if (inReceive_)
        return; // a message box inside decoding let more text in: the running loop takes it
    inReceive_ = true;
    // Every complete line, in order. The lines are taken from the front of the buffer by
    // position and the buffer is cut once at the end, so a chunk of many lines (a burst of
    // garbage) costs time in proportion to its size; text that arrives while a line is being
    // decoded is appended behind and taken by this same loop.
    size_t from = 0;
    for (;;) {
        const auto cr = m_.lineBuffer.find('\r', from);
        if (cr == std::string::npos)
            break;
        m_.replyLine = m_.lineBuffer.substr(from, cr - from);
        from = cr + 1;
        handleLine();
    }
    m_.lineBuffer.erase(0, from);
    // Garbage without any CR (a wrong baud rate, a runaway device) is not kept without end.
    if (m_.lineBuffer.size() > kMaxLineBuffer)
        m_.lineBuffer.erase(0, m_.lineBuffer.size() - kMaxLineBuffer);
    inReceive_ = false;
    ui_.refresh();
}

void PanelLink::handleLine()
{
    std::string& line = m_.replyLine;
    // A prompt character in the first or second position is not part of the reply.
    for (size_t p = 0; p < 2 && p < line.size(); ++p) {
        if (line[p] == '>') {
            line.erase(0, p + 1);
            break;
        }
    }
    auto& r = s_.ring;
    // Nothing that was sent waits for an answer (every recorded command has had its line):
    // this line answers nothing and is passed over without moving the ring. Matching it to the
    // slot at the read index would pair it with a command answered 32 commands ago, and the
    // ring would stay out of step long after a burst of line noise.
    if (r.read == r.write && s_.syncErrors == 0)
        return;
    if (r.read == r.seqMark) {
        s_.dumpCounter = 0;
        r.seqMark = -1;
    } else if (r.read == r.oneShotMark) {
        r.oneShotMark = -1;
        ui_.diagnosticsReply(line);
    }
    auto& lamp = m_.lamps[kPortLamp];
    lamp.cycleMark = false;
    if (s_.syncErrors != 0) {
        lamp.fill = kYellow;
        // One slot is skipped (its answer is taken as lost), but never past what was sent.
        if (r.read != r.write)
            r.read = (r.read + 1) % kRingSize;
        m_.status[1] = "Status: Sync Error " + std::to_string(s_.syncErrors);
        s_.syncErrors = 0;
        if (r.read == r.write)
            return; // nothing left for this line to answer
    } else {
        lamp.fill = kGreen;
        m_.status[1] = "Status: Port Open";
    }
    const std::string command = r.slot[size_t(r.read)];
    r.read = (r.read + 1) % kRingSize;
    if (onReply)
        onReply(line, command);
    if (decode)
        decode(line, command);
}

// ---------------------------------------------------------------- timers

void PanelLink::Timer2_Timer()
{
    if (m_.dumpPos < 31) {
        auto& lamp = m_.lamps[kPortLamp];
        lamp.fill = kCyan;
        lamp.cycleMark = false;
        m_.status[1] = "Status: TimeOut";
        ui_.refresh();
        return;
    }
    // The dump gives up at the ring's first slot, and whenever nothing it sent still waits
    // for an answer: a reply lost to a sync error would otherwise leave it short of its end,
    // and nothing could ever bring it there.
    if (s_.ring.read < 1 || s_.ring.read == s_.ring.write) {
        timer2_->setEnabled(false);
        ui_.message("Error,\rTimeout while reading TAV Parameters\rClosing Log / Parameter file", "",
                    PanelUi::Buttons::Ok, PanelUi::Icon::Exclamation);
        const bool wasLog = s_.dataLog;
        s_.dataLog = false;
        EndDump();
        if (dumpTimedOut)
            dumpTimedOut();
        ui_.dumpFileClosed(wasLog);
        timer2_->setInterval(Ms{m_.timeoutMs});
        ui_.refresh();
        return;
    }
    // The parameter asked for is recorded as unanswered and the dump goes on.
    timer2_->setInterval(Ms{100});
    OnReceive("????\r");
    // The stand-in is known not to be the answer; the decoder's complaint about its shape must
    // not make the next line skip a command that may still be answered.
    s_.syncErrors = 0;
}

void PanelLink::Timer1_Timer()
{
    if (m_.timer1Tag.empty()) {
        for (int i = 0; i < 7; ++i) {
            m_.lamps[i].hollow = false;
            m_.lamps[i].cycleMark = true;
        }
        m_.timer1Tag = "1";
        timer1_->setInterval(Ms{1000});
        timer1_->setEnabled(false);
    }
    if (s_.open) {
        s_.oneShot.clear();
        timer1_->setEnabled(false);
        timer1_->setInterval(Ms{1000});
        auto& lamp = m_.lamps[kPortLamp];
        lamp.fill = kGreen;
        lamp.cycleMark = true;
        lamp.hollow = false;
        if (m_.poll.empty() || s_.diagStop) {
            if (!m_.poll.empty())
                timer1_->setEnabled(true);
        } else {
            timer3_->setEnabled(true);
        }
    }
    ui_.refresh();
}

// ---------------------------------------------------------------- screens

void PanelLink::EnterScreen(int displayState, const std::string& title, const std::string& pollSequence,
                            const std::string& blankLine)
{
    s_.sweepFrequency = 0;
    m_.displayState = displayState;
    m_.text5[0] = title;
    for (int i = 1; i < 4; ++i)
        m_.text5[size_t(i)] = blankLine;
    timer3_->setEnabled(false);
    timer1_->setEnabled(false);
    timer1_->setInterval(Ms{600});
    timer1_->setEnabled(true);
    m_.poll = pollSequence;
    m_.pollPos = 1;
    s_.diagStop = false;
    ui_.refresh();
}

void PanelLink::cmdANT_Click()
{
    if (antennaKey)
        antennaKey();
    else
        EnterScreen(64, "ANTENNA ", kAntennaPoll);
}

void PanelLink::Restart(int displayState)
{
    m_.displayState = displayState;
    timer1_->setEnabled(false);
    timer1_->setInterval(Ms{10});
    timer1_->setEnabled(true);
}

void PanelLink::BeginDump(const std::string& sequence)
{
    s_.dumpSeq = sequence;
    m_.dumpPos = 1;
    timer3_->setInterval(Ms{kDumpPacingMs});
}

void PanelLink::EndDump()
{
    m_.dumpPos = 0;
    s_.dumpCounter = -1;
    // An upload paused by the dump goes on at its own pacing.
    timer3_->setInterval(Ms{(uploadOpen && uploadOpen()) ? kDumpPacingMs : m_.pacingMs});
    // Unanswered replies of the dump shortened the reply timeout to 100 ms.
    if (timer2_->interval() != Ms{m_.timeoutMs})
        timer2_->setInterval(Ms{m_.timeoutMs});
}

// ---------------------------------------------------------------- errors

void PanelLink::OnCommError(int code, const std::string& detail)
{
    std::string text = common::serialEventText(code);
    if (text.empty())
        return;
    if (code == common::comEventDeviceLost && !detail.empty())
        text += "\r" + detail;
    // One box at a time: line errors go on arriving while it waits for its answer (a wrong
    // baud rate gives a framing error with every chunk), and each would open another box.
    if (errorBoxUp_)
        return;
    const bool lost = link_ && !link_->isOpen();
    errorBoxUp_ = true;
    const auto answer = ui_.message(text, "Click Cancel to quit, OK to ignore.", PanelUi::Buttons::OkCancel,
                                    PanelUi::Icon::Exclamation);
    errorBoxUp_ = false;
    if (answer == PanelUi::Answer::Cancel || lost || (link_ && !link_->isOpen())) {
        // The port is closed; show it as closed so nothing more is written to it.
        closeLink();
        if (s_.open)
            mnuOpen_Click();
    }
}

} // namespace panel
