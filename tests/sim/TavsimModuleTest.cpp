// tavsim --module: each module served over TCP on loopback and over the pseudo-terminal,
// answering the terminal's commands byte for byte; the command-line checks of the option.
// Every wait is bounded.
#include "PanelDisplayDecoder.h"
#include "TavsimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>

using namespace tavsimtest;

namespace {

const std::string ESC(1, '\x1b');

// A link to tavsim that collects what arrives until a wanted text is there or time is up.
class Link {
public:
    virtual ~Link() = default;
    virtual bool write(const std::string& bytes) = 0;
    // Waits until the received bytes contain want; true when they do.
    bool waitFor(const std::string& want, int timeoutMs = kReplyTimeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (int i = 0; i < kMaxWaits; ++i) {
            if (received.find(want) != std::string::npos)
                return true;
            if (deadline.hasExpired() || !readSome(static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))))
                break;
        }
        return received.find(want) != std::string::npos;
    }
    std::string received;

protected:
    // Waits up to timeoutMs for bytes and appends them; false when the link is gone.
    virtual bool readSome(int timeoutMs) = 0;
};

class TcpLink : public Link {
public:
    explicit TcpLink(quint16 port)
    {
        socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
        connected = socket_.waitForConnected(kReplyTimeoutMs);
    }
    bool write(const std::string& bytes) override
    {
        const bool ok = socket_.write(bytes.data(), static_cast<qint64>(bytes.size())) == static_cast<qint64>(bytes.size());
        socket_.flush();
        return ok;
    }
    bool connected = false;
    bool open() const { return socket_.state() == QAbstractSocket::ConnectedState; }

protected:
    bool readSome(int timeoutMs) override
    {
        if (socket_.bytesAvailable() == 0)
            socket_.waitForReadyRead(timeoutMs);
        const QByteArray data = socket_.readAll();
        received.append(data.constData(), static_cast<std::size_t>(data.size()));
        return socket_.state() == QAbstractSocket::ConnectedState || !data.isEmpty();
    }

private:
    QTcpSocket socket_;
};

class PtyLink : public Link {
public:
    explicit PtyLink(const QString& path)
    {
        fd_ = openRawTerminal(path);
    }
    ~PtyLink() override
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool open() const { return fd_ >= 0; }
    bool write(const std::string& bytes) override
    {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }

protected:
    bool readSome(int timeoutMs) override
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) > 0) {
            char buf[512];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0)
                received.append(buf, static_cast<std::size_t>(n));
            return n > 0 || (p.revents & POLLHUP) == 0;
        }
        return true;
    }

private:
    int fd_ = -1;
};

// One command of the terminal to each module and its answer, line end included.
struct ModuleCase {
    const char* module;
    std::string sent;
    std::string answer;
    std::string lineEnd; // the module's line end (the TCP greeting ends with it)
    bool streams;        // sends on its own, so other bytes surround the answer
};

const ModuleCase kCases[] = {
    {"echo", "ab\r\n", "ab\r\n>", "\r\n>", false},
    {"acu-terminal", ESC + "V", "TAV ACU VER 4.20 SIM\r\n>", "\r\n>", false},
    {"pcu-panel", ESC + "V", "PANEL PCU VER 1.05 SIM\r\n", "\r\n", true},
    {"vantor", "V\r\n", "VANTOR APP VER 1.40 SIM\r\n", "\r\n", true},
    {"modem", ">0411\r\n", "ADE VER 3.30 SIM\r\n>", "\r\n>", false},
    {"mde", "]6000\r\n", "MDE STATUS 0000 OK\r\n>", "\r\n>", false},
    {"acu-boot", "V", "TAV ACU VER 7.12\r\n>", "\r\n>", false},
};

} // namespace

TEST(TavsimModule, EveryModuleAnswersOverTcp)
{
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.module);
        Tavsim t({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-pty"), QStringLiteral("--calm"),
                  QStringLiteral("--module"), QString::fromLatin1(c.module)});
        ASSERT_TRUE(t.ready) << t.output.toStdString();
        EXPECT_EQ(t.module.toStdString(), c.module);
        TcpLink link(t.tcpPort);
        ASSERT_TRUE(link.connected);
        const std::string greeting = "TAVSIM NET READY" + c.lineEnd;
        ASSERT_TRUE(link.waitFor(greeting)) << link.received;
        EXPECT_EQ(link.received.substr(0, greeting.size()), greeting) << "the greeting comes first";
        ASSERT_TRUE(link.write(c.sent));
        EXPECT_TRUE(link.waitFor(c.answer)) << link.received;
        if (!c.streams) {
            EXPECT_EQ(link.received, greeting + c.answer);
        }
    }
}

TEST(TavsimModule, EveryModuleAnswersOverThePseudoTerminal)
{
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.module);
        Tavsim t({QStringLiteral("--no-tcp"), QStringLiteral("--calm"), QStringLiteral("--module"),
                  QString::fromLatin1(c.module)});
        ASSERT_TRUE(t.ready) << t.output.toStdString();
        PtyLink link(t.ptyPath);
        ASSERT_TRUE(link.open());
        ASSERT_TRUE(link.write(c.sent));
        EXPECT_TRUE(link.waitFor(c.answer)) << link.received;
        if (!c.streams) {
            EXPECT_EQ(link.received, c.answer) << "no greeting on the serial side";
        }
    }
}

TEST(TavsimModule, PanelPcuFramesDecodeOnThePseudoTerminal)
{
    Tavsim t({QStringLiteral("--no-tcp"), QStringLiteral("--calm"), QStringLiteral("--on-target"),
              QStringLiteral("--module"), QStringLiteral("pcu-panel")});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    PtyLink link(t.ptyPath);
    ASSERT_TRUE(link.open());
    // Two flag bytes seen means at least one whole frame in between.
    ASSERT_TRUE(link.waitFor("\x06H")) << link.received;
    link.received.erase(0, link.received.find('\x06') + 2);
    ASSERT_TRUE(link.waitFor("\x06H")) << link.received;
    simtest::PanelDisplay d;
    d.receive(link.received);
    EXPECT_EQ(d.line1.substr(0, 3), "AZ ");
    EXPECT_EQ(d.line2, "AGC 850 TRACKING");
    EXPECT_EQ(d.bargraph, "16");
    EXPECT_EQ(d.brightness, "0080");
    EXPECT_EQ(d.tracking, "TRACKING");
    EXPECT_EQ(d.screen, "");
}

TEST(TavsimModule, VantorGoesQuietOnDollarOverTcp)
{
    Tavsim t({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-pty"), QStringLiteral("--module"),
              QStringLiteral("vantor")});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    TcpLink link(t.tcpPort);
    ASSERT_TRUE(link.connected);
    ASSERT_TRUE(link.waitFor("VNT 0001")) << link.received;
    ASSERT_TRUE(link.write("$\r\n"));
    ASSERT_TRUE(link.waitFor("VANTOR STATUS OK STREAM OFF\r\n")) << link.received;
    link.received.clear();
    EXPECT_FALSE(link.waitFor("VNT", 1200)) << "two stream periods without a line: " << link.received;
    ASSERT_TRUE(link.write("%"));
    EXPECT_TRUE(link.waitFor("VNT")) << "the stream is back";
}

TEST(TavsimModule, LinkDropWorksWithAModule)
{
    Tavsim t({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-pty"), QStringLiteral("--module"),
              QStringLiteral("modem"), QStringLiteral("--drop-link-after"), QStringLiteral("0.3")});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), t.tcpPort);
    ASSERT_TRUE(s.waitForConnected(kReplyTimeoutMs));
    EXPECT_TRUE(s.state() == QAbstractSocket::UnconnectedState || s.waitForDisconnected(kReplyTimeoutMs));
}

TEST(TavsimModule, AcuBootStartedInItsBootloaderAnswersStatusOverThePseudoTerminal)
{
    Tavsim t({QStringLiteral("--no-tcp"), QStringLiteral("--module"), QStringLiteral("acu-boot"),
              QStringLiteral("--boot-start"), QStringLiteral("bootloader")});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    PtyLink link(t.ptyPath);
    ASSERT_TRUE(link.open());
    ASSERT_TRUE(link.write(ESC + "S"));
    ASSERT_TRUE(link.waitFor("BOOT OK\r\n")) << link.received;
    link.waitFor("nothing more", 300); // time for anything that would follow
    EXPECT_EQ(link.received, "BOOT OK\r\n") << "the bootloader's 9 characters, nothing more";
}

TEST(TavsimModule, AcuBootDropsTheLinkAfterTheRecordAskedFor)
{
    Tavsim t({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-pty"), QStringLiteral("--module"),
              QStringLiteral("acu-boot"), QStringLiteral("--boot-start"), QStringLiteral("bootloader"),
              QStringLiteral("--boot-drop-after"), QStringLiteral("1")});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    TcpLink link(t.tcpPort);
    ASSERT_TRUE(link.connected);
    ASSERT_TRUE(link.write("^0578\r\n"));
    ASSERT_TRUE(link.waitFor("ERASING...*\r\n")) << link.received;
    ASSERT_TRUE(link.write("#S903\r\n#0000\r\n#FC00\r\n"));
    ASSERT_TRUE(link.waitFor("LOAD OK\r\n")) << link.received;
    link.waitFor("nothing more"); // returns early once the link is gone
    EXPECT_FALSE(link.open()) << "the link closes after the record";
}

TEST(TavsimModule, CommandLineIsChecked)
{
    ensureApp();
    const struct {
        QStringList args;
        bool ok;
        const char* inOutput;
    } cases[] = {
        {{QStringLiteral("--help")}, true, "--module <NAME>"},
        {{QStringLiteral("--module"), QStringLiteral("pcu")}, false, "echo, acu-terminal, pcu-panel, vantor, modem, mde"},
        {{QStringLiteral("--module"), QStringLiteral("pcu")}, false, "is not one of"},
        {{QStringLiteral("--module"), QStringLiteral("echo"), QStringLiteral("--delay"), QStringLiteral("5")}, false,
         "--delay applies to the panel-facing ACU only"},
        {{QStringLiteral("--module"), QStringLiteral("modem"), QStringLiteral("--busy-every"), QStringLiteral("2")}, false,
         "--busy-every applies"},
        {{QStringLiteral("--module"), QStringLiteral("mde"), QStringLiteral("--prompt")}, false, "--prompt applies"},
        {{QStringLiteral("--help")}, true, "--boot-start <STATE>"},
        {{QStringLiteral("--boot-start"), QStringLiteral("hung")}, false, "--boot-start applies to --module acu-boot only"},
        {{QStringLiteral("--module"), QStringLiteral("acu-terminal"), QStringLiteral("--boot-refuse-erase")}, false,
         "--boot-refuse-erase applies to --module acu-boot only"},
        {{QStringLiteral("--module"), QStringLiteral("acu-boot"), QStringLiteral("--boot-start"), QStringLiteral("asleep")},
         false, "is not one of application, bootloader, hung, silent, confused"},
        {{QStringLiteral("--module"), QStringLiteral("acu-boot"), QStringLiteral("--boot-version"), QString()}, false,
         "--boot-version takes"},
        {{QStringLiteral("--module"), QStringLiteral("acu-boot"), QStringLiteral("--boot-drop-after"), QStringLiteral("x")},
         false, "--boot-drop-after takes a whole number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(tavsimPath(), c.args);
        ASSERT_TRUE(p.waitForFinished(kStartTimeoutMs));
        const QString out = QString::fromLocal8Bit(p.readAll());
        EXPECT_EQ(p.exitCode() == 0, c.ok) << out.toStdString();
        EXPECT_TRUE(out.contains(QLatin1String(c.inOutput))) << out.toStdString();
    }
}
