#include "Terminal.h"

#include "common/Endpoint.h"
#include "common/Profiles.h"
#include "common/SettingsStore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace term {

using Buttons = TerminalUi::Buttons;
using Icon = TerminalUi::Icon;
using Answer = TerminalUi::Answer;

namespace {

const char* const kClosedWarning =
    "Error,\rOperation not allowed while port is closed\rClick LED or 'CommPort / Port Open' to connect.";
const char* const kCannotConnect = "Error,\rCannot connect to selected IP device.\rCheck PortSettings Properies.";
const char* const kConnectionLost = "Error,\rTCP/IP connection is no longer valid.\rClick LED to re-connect.";
const char* const kTimedOut = "Command Timed Out No Response";

// The calibration of MSwait: clock reads for half a second at most, a million at most.
constexpr Ms kCalibrationSpan{500};
constexpr long kCalibrationPasses = 1000000;
// A log write that keeps failing is retried only as often as the technician asks, and never
// more than this.
constexpr int kMaxLogRetries = 1000;

// Every LF removed, then an LF after every CR: any mix of line ends becomes CR LF.
std::string normaliseLineEnds(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\n')
            continue;
        out.push_back(c);
        if (c == '\r')
            out.push_back('\n');
    }
    return out;
}

std::string hexText(const std::string& text)
{
    std::string out;
    out.reserve(text.size() * 4);
    char buf[8];
    for (const char c : text) {
        std::snprintf(buf, sizeof buf, "<%02X>", static_cast<unsigned>(static_cast<unsigned char>(c)));
        out += buf;
    }
    return out;
}

} // namespace

Terminal::Terminal(common::Clock& clock, TerminalUi& ui, LinkFactory makeLink)
    : clock_(clock), ui_(ui), makeLink_(std::move(makeLink)), connectTimer_(clock.createTimer()),
      statusTimer_(clock.createTimer())
{
    connectTimer_->setInterval(kConnectTick);
    connectTimer_->onTick = [this] { connectTick(); };
    statusTimer_->setInterval(kStatusResetAfter);
    statusTimer_->onTick = [this] {
        statusText = "Status: ";
        statusTimer_->setEnabled(false);
        ui_.refresh();
    };
}

Terminal::~Terminal()
{
    connectTimer_->setEnabled(false);
    statusTimer_->setEnabled(false);
    if (link_) {
        link_->onData = nullptr;
        link_->onError = nullptr;
        link_->onLost = nullptr;
        link_->close();
    }
}

// ---------------------------------------------------------------- link

std::string Terminal::settingsPanelText() const
{
    if (serial)
        return "Settings: Com" + std::to_string(commPort) + ": " + settings + echoText + moduleLabel;
    return "Settings: IP " + aAddress + " : " + std::to_string(nPort) + echoText + moduleLabel;
}

void Terminal::ensureLink()
{
    if (link_) {
        link_->onData = nullptr;
        link_->onError = nullptr;
        link_->onLost = nullptr;
        // The old link lets go of its device before a new one opens it.
        link_->close();
        link_.reset();
    }
    link_ = makeLink_ ? makeLink_(*this) : nullptr;
    if (!link_)
        return;
    linkSerial_ = serial;
    link_->onData = [this](const std::string& d) { OnReceive(d); };
    link_->onError = [this](int code, const std::string& detail) { OnCommError(code, detail); };
    link_->onLost = [this] {
        // A serial device that went away (adapter unplugged) cannot be written to any more:
        // show the port closed. A TCP connection that went away is made again on the next send.
        if (linkSerial_ && open_)
            markClosed();
    };
}

bool Terminal::reconnect()
{
    if (!link_)
        ensureLink();
    else
        link_->close();
    if (!link_)
        return false;
    std::string error;
    link_->open(error); // a TCP link only begins to connect here
    // Waiting in steps, as long as a connection takes at most; the abort flag of a sequence is
    // not asked here, so a stale flag never cuts a connect short.
    const int steps = int(kConnectWait / kConnectPoll);
    for (int i = 0; i < steps && link_ && !link_->isOpen(); ++i)
        clock_.wait(kConnectPoll);
    return link_ && link_->isOpen();
}

void Terminal::mnuOpen_Click()
{
    if (sequence_)
        return; // the running sequence owns the link
    ToggleLink();
}

bool Terminal::ProbeLink()
{
    std::unique_ptr<common::Link> probe = makeLink_ ? makeLink_(*this) : nullptr;
    if (!probe)
        return false;
    std::string error;
    const bool ok = probe->open(error) && probe->isOpen();
    probe->close();
    return ok;
}

bool Terminal::BeginCommand()
{
    if (sequence_)
        return false;
    abortFlag = 0;
    return true;
}

void Terminal::ToggleLink()
{
    if (reconnecting_)
        return; // a connect wait is running; its own outcome decides
    if (serial) {
        if (open_) {
            if (link_)
                link_->close();
            open_ = false;
        } else {
            ensureLink();
            std::string error;
            if (!link_)
                error = "No serial port is configured.";
            else if (!link_->open(error) && error.empty())
                error = "The serial port could not be opened.";
            open_ = link_ && link_->isOpen();
            if (!open_)
                ui_.message(error, "", Buttons::Ok, Icon::Exclamation);
        }
        if (open_) {
            setDtr(!qm7000);
            settingsText = settingsPanelText();
            StartConnectTimer();
            setRts(true);
        }
    } else {
        open_ = false;
        const bool wasConnected = link_ && !linkSerial_ && link_->isOpen();
        if (wasConnected) {
            link_->close();
        } else {
            // A fresh link: the address or port may have changed since the last one.
            ensureLink();
            reconnecting_ = true;
            const bool ok = link_ && reconnect();
            reconnecting_ = false;
            open_ = ok;
            if (!ok)
                ui_.message(kCannotConnect, "", Buttons::Ok, Icon::Exclamation);
        }
        if (open_) {
            settingsText = settingsPanelText();
            StartConnectTimer();
        }
    }
    if (!open_) {
        settingsText = "Settings: ";
        StopConnectTimer();
        dtr_ = false;
        rts_ = false;
    }
    if (onLinkChanged)
        onLinkChanged();
    ui_.refresh();
}

void Terminal::markClosed()
{
    open_ = false;
    if (link_)
        link_->close();
    settingsText = "Settings: ";
    StopConnectTimer();
    dtr_ = false;
    rts_ = false;
    if (onLinkChanged)
        onLinkChanged();
    ui_.refresh();
}

void Terminal::CommOut(const std::string& text)
{
    if (!open_) {
        ui_.message(kClosedWarning, "", Buttons::Ok, Icon::Exclamation);
        abortFlag = 2;
        return;
    }
    if (reconnecting_) {
        // A reconnect is waiting: this text follows the one that started it.
        pendingOut_ += text;
        return;
    }
    if (!link_)
        return;
    if (linkSerial_ || link_->isOpen()) {
        send(text);
        return;
    }
    // The TCP connection has gone: connect again and send, or give the link up.
    reconnecting_ = true;
    pendingOut_ = text;
    const bool ok = reconnect();
    reconnecting_ = false;
    const std::string out = std::exchange(pendingOut_, std::string());
    if (ok) {
        send(out);
        return;
    }
    markClosed();
    // Nothing could be sent, so a running sequence stops as it does for a closed port.
    abortFlag = 2;
    ui_.message(kConnectionLost, "", Buttons::Ok, Icon::Exclamation);
}

void Terminal::send(const std::string& bytes)
{
    link_->write(bytes);
    // A serial line sends one character after another: these follow whatever it is still
    // sending. TxSettle sleeps until then.
    const std::chrono::microseconds now = clock_.now();
    lineFreeAt_ = std::max(lineFreeAt_, now) + link_->characterTime() * long(bytes.size());
    floorLineFree_ = std::max(floorLineFree_, floorAt_) + link_->characterTime() * long(bytes.size());
}

double Terminal::floorMs() const
{
    return double(floorAt_.count()) / 1000.0;
}

void Terminal::resetFloor() { floorAt_ = floorLineFree_ = std::chrono::microseconds{0}; }

bool Terminal::DrainOutput(Ms extra)
{
    if (!open_ || !link_)
        return true;
    floorAt_ = std::max(floorAt_, floorLineFree_); // it waits for the line, as a settle does
    const auto drained = [this] { return abortFlag != 0 || !link_ || link_->outputDrained(); };
    const Ms end = clock_.now() + lineBusyFor() + extra;
    // The driver is asked again at short intervals: a serial driver's queue gives no event.
    while (!drained() && clock_.now() < end)
        clock_.waitUntil(drained, std::min(kDrainRecheck * 10, end - clock_.now()));
    return link_ && link_->outputDrained();
}

Ms Terminal::lineBusyFor() const
{
    const auto left = lineFreeAt_ - std::chrono::microseconds(clock_.now());
    return left > std::chrono::microseconds{0} ? std::chrono::ceil<Ms>(left) : Ms{0};
}

void Terminal::setDtr(bool on)
{
    dtr_ = on;
    if (driveDtr)
        driveDtr(on);
}

void Terminal::setRts(bool on)
{
    rts_ = on;
    if (driveRts)
        driveRts(on);
}

void Terminal::chkRTS_Click(bool on)
{
    if (sequence_) {
        ui_.refresh(); // the box shows the line as it is
        return;
    }
    setRts(on);
    ui_.refresh();
}

void Terminal::mnuHex_Click()
{
    if (!sequence_)
        hexDisplay = !hexDisplay;
    ui_.refresh();
}

void Terminal::chkDTR_Click(bool on)
{
    if (sequence_) {
        ui_.refresh();
        return;
    }
    setDtr(on);
    if (qm7000)
        LogLine(on ? "Phone Power is OFF" : "Phone Power is ON");
    ui_.refresh();
}

// ---------------------------------------------------------------- receiving

void Terminal::OnReceive(const std::string& chunk)
{
    aBuffer = chunk;
    ShowReceived(aBuffer);
}

void Terminal::ShowReceived(const std::string& received)
{
    screen.trim();
    std::string text = dataPath ? received : normaliseLineEnds(received);
    if (nOffset > 800) {
        // The display fields are taken out; what is left is what the screen shows, and that is
        // what the log and the reply buffer get too.
        text = codes.feed(text, fields);
        screen.append(text);
    } else if (hexDisplay) {
        screen.append(hexText(text));
    } else {
        screen.append(text);
    }
    if (logOpen)
        writeLog(text);
    else if (collect)
        replyBuffer += text;
    ui_.refresh();
}

void Terminal::writeLog(const std::string& text)
{
    if (logRetry_) {
        // The Retry / Cancel box is up: keep this for the answer, in order.
        pendingLog_ += text;
        return;
    }
    if (text.empty() || !logWrite)
        return;
    std::string out = text;
    for (int attempt = 0; attempt < kMaxLogRetries; ++attempt) {
        if (logWrite(out))
            return;
        const std::string why = logError ? logError() : std::string();
        logRetry_ = true;
        const Answer a = ui_.message(why.empty() ? "The log file could not be written." : why, "",
                                     Buttons::RetryCancel, Icon::Critical);
        logRetry_ = false;
        out += std::exchange(pendingLog_, std::string());
        if (a != Answer::Retry)
            break;
    }
    // Cancel: the log is closed.
    pendingLog_.clear();
    logOpen = false;
    if (logClose)
        logClose();
    ui_.refresh();
}

// ---------------------------------------------------------------- screen

void Terminal::LogLine(const std::string& text) { Write(text + "\r\n"); }

void Terminal::Write(const std::string& text)
{
    screen.trim();
    screen.append(text);
    ui_.refresh();
}

void Terminal::ClearScreen()
{
    screen.clear();
    ui_.refresh();
}

// ---------------------------------------------------------------- keyboard

bool Terminal::KeyPress(int key)
{
    if (key < 4)
        return false; // copying and the like belong to the text box
    if (!open_)
        return true;
    if (key > 255)
        return true; // only 8-bit characters go on the line
    const std::string out = key == 13 ? std::string("\r\n") : std::string(1, char(key));
    CommOut(out);
    // Echo shows what went out: printable characters, Tab and Enter (CR LF), not a key whose
    // send gave the link up.
    if (echo && open_ && (key == 13 || key == 9 || key >= 32)) {
        screen.trim();
        screen.append(out);
    }
    if (open_ && !connectTimer_->enabled())
        StartConnectTimer();
    ui_.refresh();
    return true;
}

// ---------------------------------------------------------------- status bar

void Terminal::OnCommError(int code, const std::string& detail)
{
    std::string text = common::serialEventText(code);
    // Events that show nothing leave the status panel alone: an earlier error is shown once,
    // on its own event, and not again on every later one. A modem line change is shown by its
    // box.
    if (text.empty()) {
        ui_.refresh();
        return;
    }
    if (code == common::comEventDeviceLost && !detail.empty())
        text += ": " + detail;
    lastErrorShown_ = text;
    statusText = "Status: " + text;
    statusTimer_->restart();
    ui_.refresh();
}

void Terminal::StartConnectTimer()
{
    connectStart_ = clock_.now();
    connectTimeText = " 00:00:00";
    connectTimer_->setEnabled(true);
}

void Terminal::StopConnectTimer() { connectTimer_->setEnabled(false); }

void Terminal::connectTick()
{
    const long long s = std::chrono::duration_cast<std::chrono::seconds>(clock_.now() - connectStart_).count();
    char buf[32];
    std::snprintf(buf, sizeof buf, " %02lld:%02lld:%02lld", s / 3600, (s / 60) % 60, s % 60);
    connectTimeText = buf;
    ui_.refresh();
}

// ---------------------------------------------------------------- waits

void Terminal::Pause(Ms duration)
{
    if (abortFlag != 0)
        return;
    floorAt_ += std::chrono::duration_cast<std::chrono::microseconds>(duration);
    clock_.waitUntil([this] { return abortFlag != 0; }, duration);
}

void Terminal::TxSettle(int n)
{
    if (abortFlag != 0)
        return;
    floorAt_ = std::max(floorAt_, floorLineFree_);
    if (open_ && link_) {
        const Ms start = clock_.now();
        // The line's own arithmetic says when the bytes will have left: sleep until then.
        const Ms lineTime = std::chrono::round<Ms>(lineFreeAt_ - std::chrono::microseconds(start));
        if (lineTime > Ms{0})
            clock_.waitUntil([this] { return abortFlag != 0; }, std::min(lineTime, kDrainBound));
        // Then until the driver agrees. Bytes Qt still holds go out while events run; the
        // driver's queue is asked again at short intervals, near the end only.
        auto drained = [this] { return abortFlag != 0 || !link_ || link_->outputDrained(); };
        while (!drained() && clock_.now() - start < kDrainBound)
            clock_.waitUntil(drained, std::min(kDrainRecheck, kDrainBound - (clock_.now() - start)));
    }
    Pause(Ms{std::max(0, n)});
}

bool Terminal::WaitForReply()
{
    clock_.waitUntil([this] { return !replyBuffer.empty() || abortFlag != 0; }, kReplyWait);
    return !replyBuffer.empty();
}

std::string Terminal::AwaitReply()
{
    clock_.waitUntil([this] { return !replyBuffer.empty() || abortFlag != 0; }, kReplyWait);
    if (replyBuffer.empty()) {
        replyBuffer = "??";
        if (abortFlag == 0)
            LogLine(kTimedOut);
    }
    Pause(Ms{std::max(0, pacingMs)});
    return replyBuffer;
}

void Terminal::CalibrateMSwait()
{
    const Ms t0 = clock_.now();
    Ms t = t0;
    long n = 1;
    for (; n <= kCalibrationPasses; ++n) {
        t = clock_.now();
        if (t - t0 > kCalibrationSpan)
            break;
    }
    n = std::min(n, kCalibrationPasses);
    const double elapsed = std::chrono::duration<double>(t - t0).count();
    int value = 0;
    if (elapsed > 0) {
        // Rounded to the nearest, halves to the even neighbour (the default rounding mode).
        const double x = 2.0 * double(n) / elapsed / 1000.0 + 0.5;
        value = int(std::nearbyint(std::min(x, 32767.0)));
    }
    MSwait = std::max(1, value);
}

// ---------------------------------------------------------------- sequence guard

Terminal::Sequence::Sequence(Terminal& t) : t_(t), started_(!t.sequence_)
{
    if (!started_)
        return;
    t_.sequence_ = true;
    t_.abortFlag = 0;
    t_.ui_.refresh();
}

Terminal::Sequence::~Sequence()
{
    if (!started_)
        return;
    t_.sequence_ = false;
    t_.ui_.refresh();
    if (t_.onSequenceEnded)
        t_.onSequenceEnded();
}

bool LoadSettings(Terminal& t, const common::TerminalProfile& p, const common::SettingsStore& store,
                  const common::Endpoint* endpoint, std::string& error)
{
    if (!p.settings.empty()) {
        common::LineSettings ls;
        if (!common::parseSettings(p.settings, ls)) {
            error = "Invalid port settings \"" + p.settings + "\"";
            return false;
        }
        t.settings = p.settings;
    }
    if (!p.commPort.empty()) {
        short n = 0;
        t.commPort = common::toInt16(p.commPort, n) && n > 0 ? n : 0;
    }
    if (!p.handshaking.empty()) {
        short h = 0;
        if (!common::toInt16(p.handshaking, h) || h < 0 || h > 3) {
            error = "Invalid handshaking \"" + p.handshaking + "\"";
            return false;
        }
        t.handshaking = h;
    }
    if (t.devicePath.empty())
        t.devicePath = common::serialDevicePath(t.commPort, &store);
    t.echo = p.echo;
    t.echoText = p.echo ? ", Echo On  " : ", Echo Off  ";
    t.aAddress = p.address;
    t.nPort = p.port;
    t.serial = p.serial;
    if (endpoint) {
        t.serial = endpoint->serial;
        if (endpoint->serial) {
            t.devicePath = endpoint->device;
            if (!endpoint->settings.empty())
                t.settings = endpoint->settings;
        } else {
            t.aAddress = endpoint->host;
            t.nPort = endpoint->port;
        }
    }
    return true;
}

} // namespace term
