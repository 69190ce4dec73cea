// The tavsim program as a technician starts it: it prints where it serves, greets TCP
// clients, answers over TCP and over its pseudo-terminal, applies the fault options, and
// cleans up on SIGTERM. Every wait is bounded.
#include "ReplyChecks.h"
#include "TavsimProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <string>

using namespace simtest;
using namespace tavsimtest;

namespace {

// Reads one CR-ended line from a socket, keeping what follows in buffer.
std::string readLine(QTcpSocket& s, std::string& buffer)
{
    QDeadlineTimer deadline(kReplyTimeoutMs);
    for (int i = 0; i < kMaxWaits; ++i) {
        const auto cr = buffer.find('\r');
        if (cr != std::string::npos) {
            std::string line = buffer.substr(0, cr);
            buffer.erase(0, cr + 1);
            return line;
        }
        // What arrived before a disconnect is still read.
        const QByteArray data = s.readAll();
        buffer.append(data.constData(), static_cast<std::size_t>(data.size()));
        if (!data.isEmpty())
            continue;
        if (deadline.hasExpired() || s.state() != QAbstractSocket::ConnectedState)
            break;
        s.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    return "<no line: " + buffer + ">";
}

std::string askTcp(QTcpSocket& s, std::string& buffer, const std::string& cmd)
{
    s.write(cmd.data(), static_cast<qint64>(cmd.size()));
    s.flush();
    return readLine(s, buffer);
}

// The controller's serial side as a client sees it: a raw terminal device.
struct PtyClient {
    int fd = -1;
    std::string buffer;
    explicit PtyClient(const QString& path)
    {
        fd = openRawTerminal(path);
    }
    ~PtyClient()
    {
        if (fd >= 0)
            ::close(fd);
    }
    std::string ask(const std::string& cmd)
    {
        if (::write(fd, cmd.data(), cmd.size()) != static_cast<ssize_t>(cmd.size()))
            return "<write failed>";
        QDeadlineTimer deadline(kReplyTimeoutMs);
        for (int i = 0; i < kMaxWaits; ++i) {
            const auto cr = buffer.find('\r');
            if (cr != std::string::npos) {
                std::string line = buffer.substr(0, cr);
                buffer.erase(0, cr + 1);
                return line;
            }
            if (deadline.hasExpired())
                break;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(qMax<qint64>(1, deadline.remainingTime()))) > 0) {
                char buf[256];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n > 0)
                    buffer.append(buf, static_cast<std::size_t>(n));
            }
        }
        return "<no line: " + buffer + ">";
    }
};

} // namespace

TEST(Tavsim, GreetsOnTcpOnlyAndAnswersOnBothLinks)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("acu"));
    Tavsim t({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--calm"), QStringLiteral("--link"), link});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    ASSERT_NE(t.tcpPort, 0) << "--port 0 picks a free port and prints it";
    ASSERT_FALSE(t.ptyPath.isEmpty());
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), t.ptyPath);

    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), t.tcpPort);
    ASSERT_TRUE(s.waitForConnected(kReplyTimeoutMs));
    std::string buffer;
    EXPECT_EQ(readLine(s, buffer), "TAVSIM NET READY");
    const std::string tcpStatus = askTcp(s, buffer, "S");
    EXPECT_TRUE(statusReplyValid(tcpStatus)) << tcpStatus;
    EXPECT_EQ(askTcp(s, buffer, "mN999\r\n"), "mN065");

    {
        PtyClient p(link); // through the link, as a panel set to that path would
        ASSERT_GE(p.fd, 0);
        const std::string first = p.ask("S");
        EXPECT_TRUE(statusReplyValid(first)) << "the first line on the serial side is the reply: " << first;
    }
    {
        PtyClient again(t.ptyPath); // closed and opened again: still served
        ASSERT_GE(again.fd, 0);
        EXPECT_EQ(again.ask("?   V\r\n"), "PCU VER 2.31 SIM");
    }
    // One antenna behind both links: a target set over TCP shows on the serial side.
    EXPECT_EQ(askTcp(s, buffer, "mA042\r\n"), "mA042");
    PtyClient p(t.ptyPath);
    EXPECT_EQ(p.ask("mA999\r\n"), "mA042");

    EXPECT_TRUE(t.stop()) << t.output.toStdString();
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link is removed at exit";
}

TEST(Tavsim, FaultOptionsReachTheLink)
{
    const struct {
        const char* name;
        QStringList args;
        std::function<void(const std::string& reply)> check;
    } cases[] = {
        {"busy", {QStringLiteral("--busy-every"), QStringLiteral("1")},
         [](const std::string& r) { EXPECT_EQ(r, "###"); }},
        {"garbled", {QStringLiteral("--garble-every"), QStringLiteral("1")},
         [](const std::string& r) {
             EXPECT_FALSE(statusReplyValid(r)) << r;
             EXPECT_EQ(r.size(), 13u);
         }},
        {"prompt", {QStringLiteral("--prompt")},
         [](const std::string& r) { EXPECT_TRUE(statusReplyValid(r)) << r; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tavsim t(QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-pty")} + c.args);
        ASSERT_TRUE(t.ready) << t.output.toStdString();
        QTcpSocket s;
        s.connectToHost(QStringLiteral("127.0.0.1"), t.tcpPort);
        ASSERT_TRUE(s.waitForConnected(kReplyTimeoutMs));
        std::string buffer;
        readLine(s, buffer); // greeting
        c.check(askTcp(s, buffer, "S"));
    }
}

TEST(Tavsim, DroppedLinkClosesTheTcpClient)
{
    Tavsim t({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-pty"),
              QStringLiteral("--drop-link-after"), QStringLiteral("0.3")});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), t.tcpPort);
    ASSERT_TRUE(s.waitForConnected(kReplyTimeoutMs));
    std::string buffer;
    EXPECT_EQ(readLine(s, buffer), "TAVSIM NET READY");
    EXPECT_TRUE(s.state() == QAbstractSocket::UnconnectedState || s.waitForDisconnected(kReplyTimeoutMs));
    t.proc.waitForReadyRead(kReplyTimeoutMs);
    t.readLines();
    EXPECT_TRUE(t.output.contains(QLatin1String("dropped: tcp"))) << t.output.toStdString();

    // A new client is served (and greeted) again.
    QTcpSocket again;
    again.connectToHost(QStringLiteral("127.0.0.1"), t.tcpPort);
    ASSERT_TRUE(again.waitForConnected(kReplyTimeoutMs));
    std::string b2;
    EXPECT_EQ(readLine(again, b2), "TAVSIM NET READY");
}

TEST(Tavsim, DroppedPseudoTerminalIsReplacedAndTheLinkFollows)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString link = dir.filePath(QStringLiteral("acu"));
    Tavsim t({QStringLiteral("--no-tcp"), QStringLiteral("--link"), link, QStringLiteral("--drop-link-after"),
              QStringLiteral("1")});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    PtyClient before(link);
    ASSERT_GE(before.fd, 0);
    EXPECT_TRUE(statusReplyValid(before.ask("S")));

    QDeadlineTimer deadline(kReplyTimeoutMs);
    for (int i = 0; i < kMaxWaits && t.ptyOpenings < 2 && !deadline.hasExpired(); ++i) {
        t.proc.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        t.readLines();
    }
    ASSERT_EQ(t.ptyOpenings, 2) << t.output.toStdString();
    EXPECT_TRUE(t.output.contains(QLatin1String("dropped: pty")));
    pollfd hup{before.fd, POLLIN, 0};
    EXPECT_EQ(::poll(&hup, 1, kReplyTimeoutMs), 1);
    EXPECT_NE(hup.revents & POLLHUP, 0) << "the client of the dropped terminal sees a hang-up";

    EXPECT_EQ(QFileInfo(link).symLinkTarget(), t.ptyPath);
    PtyClient after(link);
    ASSERT_GE(after.fd, 0);
    EXPECT_TRUE(statusReplyValid(after.ask("S")));
}

TEST(Tavsim, PowersUpUnlessToldToStartOnTarget)
{
    const struct {
        const char* name;
        QStringList args;
        unsigned word1, word2; // bits of ACU words 1 and 2 in the first status reply
    } cases[] = {
        // Initializing, not tracking, no target yet (valid heading only).
        {"power-up", {}, 0u, 8u | 2u},
        // Tracking, azimuth and elevation on target.
        {"on target", {QStringLiteral("--on-target")}, 8u, 32u | 16u | 8u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tavsim t(QStringList{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-pty"),
                             QStringLiteral("--calm")} + c.args);
        ASSERT_TRUE(t.ready) << t.output.toStdString();
        QTcpSocket s;
        s.connectToHost(QStringLiteral("127.0.0.1"), t.tcpPort);
        ASSERT_TRUE(s.waitForConnected(kReplyTimeoutMs));
        std::string buffer;
        readLine(s, buffer); // greeting
        const std::string st = askTcp(s, buffer, "S");
        ASSERT_TRUE(statusReplyValid(st)) << st;
        EXPECT_EQ(flagBits(at(st, 2)) & 0x38u, c.word1) << st;
        EXPECT_EQ(flagBits(at(st, 3)) & 0x3Bu, c.word2) << st;
    }
}

TEST(Tavsim, ErrorAfterRaisesAServoFaultUntilReset)
{
    Tavsim t({QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--no-pty"), QStringLiteral("--on-target"),
              QStringLiteral("--error-after"), QStringLiteral("0.05")});
    ASSERT_TRUE(t.ready) << t.output.toStdString();
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), t.tcpPort);
    ASSERT_TRUE(s.waitForConnected(kReplyTimeoutMs));
    std::string buffer;
    readLine(s, buffer); // greeting
    // Poll until the fault shows, bounded by time and by rounds (a round trip on loopback is
    // far shorter than the fault's delay, so the round bound is generous).
    std::string st;
    QDeadlineTimer deadline(kReplyTimeoutMs);
    for (int i = 0; i < 1000 * kMaxWaits && !deadline.hasExpired(); ++i) {
        st = askTcp(s, buffer, "S");
        if (flagBits(at(st, 5)) != 0)
            break;
    }
    EXPECT_EQ(flagBits(at(st, 4)), 8u) << "PCU error: " << st;
    EXPECT_EQ(flagBits(at(st, 5)), 4u) << "azimuth servo limit: " << st;
    EXPECT_EQ(flagBits(at(askTcp(s, buffer, "?   S\r\n"), 4)), 4u) << "azimuth torque limit";

    // The panel's Reset Error Bits.
    EXPECT_EQ(askTcp(s, buffer, "&    \r\n"), "&");
    EXPECT_EQ(flagBits(at(askTcp(s, buffer, "?   S\r\n"), 4)), 0u);
    st = askTcp(s, buffer, "S");
    EXPECT_EQ(flagBits(at(st, 4)), 0u) << st;
    EXPECT_EQ(flagBits(at(st, 5)), 0u) << st;
}

TEST(Tavsim, CommandLineIsChecked)
{
    ensureApp();
    const struct {
        QStringList args;
        bool ok;
        const char* inOutput;
    } cases[] = {
        {{QStringLiteral("--help")}, true, "--drop-link-after"},
        {{QStringLiteral("--version")}, true, PROGRAM_VERSION},
        {{QStringLiteral("--no-tcp"), QStringLiteral("--no-pty")}, false, "nothing to serve"},
        {{QStringLiteral("--drop-every"), QStringLiteral("x")}, false, "whole number"},
        {{QStringLiteral("--port"), QStringLiteral("70000")}, false, "0 to 65535"},
        {{QStringLiteral("--help")}, true, "--error-after"},
        {{QStringLiteral("--error-after"), QStringLiteral("soon")}, false, "seconds above 0"},
        {{QStringLiteral("--error-after"), QStringLiteral("0")}, false, "seconds above 0"},
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
