// The serial link against a real pseudo-terminal: the test holds the master side and plays
// the equipment; the link opens the slave side by its path as it would open /dev/ttyUSB0.
#include "TestSupport.h"

#include "common/Link.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <grp.h>
#include <iostream>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using common::SerialLink;
using testsupport::pumpFor;
using testsupport::pumpUntil;

namespace {

class Pty {
public:
    Pty()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0)
            return;
        termios t {};
        ::tcgetattr(master_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        ::close(slave); // the link opens the slave by its path
        path_ = name;
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool ok() const { return master_ >= 0 && !path_.empty(); }
    const std::string& path() const { return path_; }
    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }
    bool send(const std::string& bytes) const
    {
        size_t done = 0;
        QElapsedTimer t;
        t.start();
        while (done < bytes.size() && !t.hasExpired(3000)) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += size_t(n);
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
        }
        return done == bytes.size();
    }
    // Reads what the link sent until count bytes have come or the time is up. Keeps Qt events
    // flowing so the link can write out what it has buffered.
    std::string receive(size_t count, int timeoutMs = 3000) const
    {
        std::string got;
        QElapsedTimer t;
        t.start();
        while (got.size() < count && !t.hasExpired(timeoutMs)) {
            pumpFor(1);
            pollfd p {master_, POLLIN, 0};
            if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN))
                continue;
            char buf[4096];
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                got.append(buf, size_t(n));
        }
        return got;
    }
    // The line settings as the slave side has them (termios requests on a master act on its slave).
    termios lineSettings() const
    {
        termios t {};
        ::tcgetattr(master_, &t);
        return t;
    }

private:
    int master_ = -1;
    std::string path_;
};

std::string allByteValues()
{
    std::string s;
    for (int i = 0; i < 256; ++i)
        s.push_back(char(i));
    return s;
}

struct Events {
    std::string data;
    std::vector<std::pair<int, std::string>> errors;
    int lost = 0;
    void attach(common::Link& link)
    {
        link.onData = [this](const std::string& d) { data += d; };
        link.onError = [this](int code, const std::string& detail) { errors.emplace_back(code, detail); };
        link.onLost = [this] { ++lost; };
    }
};

} // namespace

TEST(SerialLink, CommandBytesArriveAtTheDeviceByteForByte)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialLink link(pty.path(), "9600,N,8,1");
    Events ev;
    ev.attach(link);
    std::string error;
    ASSERT_TRUE(link.open(error)) << error;
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(link.describe(), pty.path());

    std::string command = "\x1b" "m012999\r\n";
    command += '\x0b';
    for (int b = 129; b <= 138; ++b)
        command.push_back(char(b));
    command += std::string("\0\x7f\xff", 3);
    ASSERT_TRUE(link.write(command));
    EXPECT_EQ(pty.receive(command.size()), command);
    EXPECT_TRUE(pumpUntil([&] { return link.outputDrained(); }));

    // A larger block, every byte value several times.
    std::string block;
    for (int i = 0; i < 16; ++i)
        block += allByteValues();
    ASSERT_TRUE(link.write(block));
    EXPECT_EQ(pty.receive(block.size()), block);
    EXPECT_TRUE(pumpUntil([&] { return link.outputDrained(); }));
    EXPECT_TRUE(ev.errors.empty());
    EXPECT_EQ(ev.lost, 0);
}

TEST(SerialLink, DeviceBytesArriveThroughOnData)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialLink link(pty.path(), "19200,N,8,1");
    Events ev;
    ev.attach(link);
    std::string error;
    ASSERT_TRUE(link.open(error)) << error;

    const std::string reply = "\x1b[2J 12.5\r" + allByteValues() + "\r\n";
    ASSERT_TRUE(pty.send(reply));
    EXPECT_TRUE(pumpUntil([&] { return ev.data.size() >= reply.size(); }));
    EXPECT_EQ(ev.data, reply);
    EXPECT_TRUE(ev.errors.empty());
}

TEST(SerialLink, SettingsStringIsAppliedToTheLine)
{
    // A pseudo-terminal keeps 8 data bits and no parity whatever is asked; speed and stop bits
    // are what it lets us see.
    struct Case {
        const char* settings;
        speed_t speed;
        bool twoStop;
    };
    const Case cases[] = {
        {"9600,N,8,1", B9600, false},   {"19200,n,8,2", B19200, true}, {"1200,N,8,1", B1200, false},
        {"38400,N,8,2", B38400, true},  {"115200,N,8,1", B115200, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        Pty pty;
        ASSERT_TRUE(pty.ok());
        SerialLink link(pty.path(), c.settings);
        std::string error;
        ASSERT_TRUE(link.open(error)) << error;
        const termios t = pty.lineSettings();
        EXPECT_EQ(::cfgetospeed(&t), c.speed);
        EXPECT_EQ(bool(t.c_cflag & CSTOPB), c.twoStop);
        // Raw bytes: no translation of CR or LF, no software flow control, no output processing.
        EXPECT_FALSE(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF));
        EXPECT_FALSE(t.c_oflag & OPOST);
        EXPECT_FALSE(t.c_lflag & (ICANON | ECHO | ISIG));
    }
}

TEST(SerialLink, NewSettingsApplyAtOnceWhileOpen)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialLink link(pty.path(), "9600,N,8,1");
    Events ev;
    ev.attach(link);
    std::string error;
    ASSERT_TRUE(link.open(error)) << error;
    ASSERT_TRUE(link.setSettings("57600,N,8,2", error)) << error;
    termios t = pty.lineSettings();
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B57600));
    EXPECT_TRUE(t.c_cflag & CSTOPB);

    // A string that does not read as settings changes nothing.
    error.clear();
    EXPECT_FALSE(link.setSettings("57600,Q,7,1", error));
    EXPECT_NE(error.find("57600,Q,7,1"), std::string::npos) << error;
    t = pty.lineSettings();
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B57600));
    EXPECT_TRUE(link.isOpen());
    EXPECT_TRUE(ev.errors.empty());
    EXPECT_EQ(ev.lost, 0);
}

TEST(SerialLink, SettingsTheDeviceRefusesAreReportedWithTheirReason)
{
    // A pseudo-terminal refuses parity and 7 data bits, as some adapters refuse some settings;
    // four data bits no serial line here can do.
    const char* refused[] = {"19200,E,7,2", "9600,E,8,1", "9600,N,7,1", "9600,N,4,1"};
    for (const char* settings : refused) {
        SCOPED_TRACE(settings);
        Pty pty;
        ASSERT_TRUE(pty.ok());
        {
            // At open: the open fails with the reason, and the port is not left open.
            SerialLink link(pty.path(), settings);
            Events ev;
            ev.attach(link);
            std::string error;
            EXPECT_FALSE(link.open(error));
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(error.find("No error"), std::string::npos) << error;
            EXPECT_FALSE(link.isOpen());
            EXPECT_TRUE(ev.errors.empty()) << "a refused setting is not a lost device";
            EXPECT_EQ(ev.lost, 0);
        }
        {
            // While open: refused, and the link stays open on its old settings.
            SerialLink link(pty.path(), "4800,N,8,1");
            Events ev;
            ev.attach(link);
            std::string error;
            ASSERT_TRUE(link.open(error)) << error;
            EXPECT_FALSE(link.setSettings(settings, error));
            EXPECT_FALSE(error.empty());
            EXPECT_EQ(error.find("No error"), std::string::npos) << error;
            EXPECT_TRUE(link.isOpen());
            ASSERT_TRUE(link.write("still here"));
            EXPECT_EQ(pty.receive(10), "still here");
            EXPECT_TRUE(ev.errors.empty()) << "a refused setting is not a lost device";
            EXPECT_EQ(ev.lost, 0);
        }
    }
}

TEST(SerialLink, SecondOpenOfTheSameDeviceIsRefused)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialLink first(pty.path(), "9600,N,8,1");
    SerialLink second(pty.path(), "9600,N,8,1");
    std::string error;
    ASSERT_TRUE(first.open(error)) << error;
    EXPECT_FALSE(second.open(error));
    EXPECT_NE(error.find(pty.path()), std::string::npos) << error;
    first.close();
    EXPECT_TRUE(second.open(error)) << error;
}

TEST(SerialLink, BadSettingsStringFailsTheOpen)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialLink link(pty.path(), "9600,X,8,1");
    std::string error;
    EXPECT_FALSE(link.open(error));
    EXPECT_NE(error.find("9600,X,8,1"), std::string::npos) << error;
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.write("x"));

    // Fixed settings apply to the next open.
    ASSERT_TRUE(link.setSettings("4800,N,8,1", error)) << error;
    ASSERT_TRUE(link.open(error)) << error;
    const termios t = pty.lineSettings();
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B4800));
}

TEST(SerialLink, ClosedDeviceRaisesDeviceLostAndTheLinkCloses)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    auto link = std::make_unique<SerialLink>(pty.path(), "9600,N,8,1");
    Events ev;
    ev.attach(*link);
    std::string error;
    ASSERT_TRUE(link->open(error)) << error;
    ASSERT_TRUE(link->write("abc"));
    EXPECT_EQ(pty.receive(3), "abc");

    pty.closeMaster(); // the adapter is pulled out
    EXPECT_TRUE(pumpUntil([&] { return ev.lost > 0; }));
    EXPECT_EQ(ev.lost, 1);
    ASSERT_FALSE(ev.errors.empty());
    EXPECT_EQ(ev.errors.front().first, common::comEventDeviceLost);
    EXPECT_FALSE(ev.errors.front().second.empty());
    EXPECT_FALSE(link->isOpen());
    EXPECT_FALSE(link->write("more"));
    EXPECT_TRUE(link->outputDrained());

    // Nothing more is raised afterwards, and closing and destroying stay quiet.
    pumpFor(50);
    EXPECT_EQ(ev.lost, 1);
    EXPECT_EQ(ev.errors.size(), size_t(1));
    link->close();
    link.reset();
}

// The driver's error counters (scripted here: a pseudo-terminal keeps none) become the serial
// error events when they rise, checked after each receive and on the slow timer; the modem
// input lines raise their change events. What was counted before the open is not reported.
TEST(SerialLink, RisingLineErrorCountersAndModemLineChangesRaiseTheirEvents)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialLink link(pty.path(), "9600,N,8,1");
    common::LineCounters counters;
    counters.frame = 7; // from before the open
    common::Link::ModemLines lines;
    lines.known = true;
    link.readCounters = [&](common::LineCounters& out) {
        out = counters;
        return true;
    };
    link.readModemLines = [&] { return lines; };
    Events ev;
    ev.attach(link);
    std::string error;
    ASSERT_TRUE(link.open(error)) << error;

    link.checkLineStatus();
    EXPECT_TRUE(ev.errors.empty()) << "nothing new since the open";

    const struct {
        const char* what;
        std::function<void()> change;
        std::vector<int> events;
    } steps[] = {
        {"framing", [&] { ++counters.frame; }, {common::comEventFrame}},
        {"parity", [&] { counters.parity += 3; }, {common::comEventRxParity}},
        {"overrun", [&] { ++counters.overrun; }, {common::comEventOverrun}},
        {"break", [&] { ++counters.brk; }, {common::comEventBreak}},
        {"buffer overrun", [&] { ++counters.bufOverrun; }, {common::comEventRxOver}},
        {"framing and break at once", [&] { ++counters.frame, ++counters.brk; },
         {common::comEventBreak, common::comEventFrame}},
        {"nothing rose", [] {}, {}},
        {"CTS", [&] { lines.cts = true; }, {common::comEvCTS}},
        {"DSR and DCD", [&] { lines.dsr = lines.dcd = true; }, {common::comEvDSR, common::comEvCD}},
        {"CTS again", [&] { lines.cts = false; }, {common::comEvCTS}},
    };
    for (const auto& st : steps) {
        SCOPED_TRACE(st.what);
        ev.errors.clear();
        st.change();
        link.checkLineStatus();
        std::vector<int> codes;
        for (const auto& [code, detail] : ev.errors)
            codes.push_back(code);
        EXPECT_EQ(codes, st.events);
    }
    for (const int code : {common::comEventFrame, common::comEventRxParity, common::comEventOverrun,
                           common::comEventBreak, common::comEventRxOver})
        EXPECT_NE(common::serialEventText(code), "Unknown error or event") << code;

    // Received bytes bring a check with them, before the bytes are handed on.
    ev.errors.clear();
    ev.data.clear();
    ++counters.frame;
    std::vector<std::string> order;
    link.onError = [&](int code, const std::string&) { order.push_back("error " + std::to_string(code)); };
    link.onData = [&](const std::string& d) { order.push_back("data " + d); };
    ASSERT_TRUE(pty.send("x"));
    EXPECT_TRUE(pumpUntil([&] { return order.size() >= 2; }, 3000));
    EXPECT_EQ(order, (std::vector<std::string>{"error 1004", "data x"}));

    // And the slow timer checks without any traffic.
    order.clear();
    ++counters.overrun;
    EXPECT_TRUE(pumpUntil([&] { return !order.empty(); }, 3000));
    EXPECT_EQ(order, (std::vector<std::string>{"error 1006"}));
}

// A driver that keeps no counters (a pseudo-terminal) gives no events and no error.
TEST(SerialLink, ADriverWithoutCountersGivesNoEvents)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialLink link(pty.path(), "9600,N,8,1");
    Events ev;
    ev.attach(link);
    std::string error;
    ASSERT_TRUE(link.open(error)) << error;
    ASSERT_TRUE(pty.send("abc"));
    EXPECT_TRUE(pumpUntil([&] { return ev.data == "abc"; }, 3000));
    pumpFor(int(SerialLink::kLineStatusEvery.count()) * 2);
    link.checkLineStatus();
    EXPECT_TRUE(ev.errors.empty());
    EXPECT_TRUE(link.isOpen());
}

TEST(SerialLink, CloseAndOpenAgain)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    SerialLink link(pty.path(), "9600,N,8,1");
    Events ev;
    ev.attach(link);
    std::string error;
    ASSERT_TRUE(link.open(error)) << error;
    link.close();
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.write("lost"));
    ASSERT_TRUE(link.open(error)) << error;
    ASSERT_TRUE(link.open(error)) << "opening an open link is harmless";
    ASSERT_TRUE(link.write("again\r\n"));
    EXPECT_EQ(pty.receive(7), "again\r\n");
    EXPECT_EQ(ev.lost, 0);
    EXPECT_TRUE(ev.errors.empty());
}

TEST(SerialLink, MissingDeviceFailsWithItsPathInTheMessage)
{
    const std::string path = "/dev/tessaro-no-such-port-0";
    SerialLink link(path, "9600,N,8,1");
    Events ev;
    ev.attach(link);
    std::string error;
    EXPECT_FALSE(link.open(error));
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(ev.lost, 0);
}

TEST(SerialLink, APinnedAdapterOpensByItsStableNameAndIsNamedWhenUnplugged)
{
    Pty pty;
    ASSERT_TRUE(pty.ok());
    testsupport::TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    ASSERT_EQ(::mkdir(tmp.file("by-id").c_str(), 0755), 0);
    const std::string pin = tmp.file("by-id/usb-Acme_FT232R_USB_UART_A10K3Z-if00-port0");
    ASSERT_EQ(::symlink(pty.path().c_str(), pin.c_str()), 0);

    SerialLink link(pin, "9600,N,8,1");
    std::string error;
    ASSERT_TRUE(link.open(error)) << error;
    ASSERT_TRUE(link.write("m39999\r\n"));
    EXPECT_EQ(pty.receive(8), "m39999\r\n");
    link.close();

    // Unplugged: udev removes the link, and the open says which adapter is missing.
    ASSERT_EQ(::unlink(pin.c_str()), 0);
    Events ev;
    ev.attach(link);
    EXPECT_FALSE(link.open(error));
    EXPECT_EQ(error, common::missingAdapterAdvice(pin));
    EXPECT_NE(error.find("The USB adapter \"Acme FT232R USB UART A10K3Z\" is not plugged in."), std::string::npos)
        << error;
    EXPECT_NE(error.find(pin), std::string::npos) << error;
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(ev.lost, 0);
    EXPECT_TRUE(ev.errors.empty());
}

TEST(SerialLink, DeviceWithoutPermissionAdvisesTheGroup)
{
    testsupport::TempDir tmp;
    ASSERT_TRUE(tmp.ok());
    const std::string path = tmp.file("ttyLocked0");
    std::ofstream(path) << "";
    ::chmod(tmp.path().c_str(), 0755);
    if (::geteuid() == 0) {
        if (const group* g = ::getgrnam("dialout"))
            (void)::chown(path.c_str(), 0, g->gr_gid);
    }
    ::chmod(path.c_str(), 0);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    const group* g = ::getgrgid(st.st_gid);
    const std::string groupName = g ? g->gr_name : std::to_string(st.st_gid);

    auto check = [&] {
        SerialLink link(path, "9600,N,8,1");
        std::string error;
        const bool opened = link.open(error);
        std::cerr << "open error: " << error << "\n";
        return !opened && error.find(path) != std::string::npos
               && error.find("\"" + groupName + "\"") != std::string::npos;
    };
    std::optional<bool> result;
    if (::geteuid() != 0)
        result = check();
    else
        result = testsupport::asUnprivilegedUser(check);
    if (!result)
        GTEST_SKIP() << "running as root and cannot switch to an ordinary user";
    EXPECT_TRUE(*result) << "expected the path and the group \"" << groupName << "\" in the message";
}
