// "Find Specific TAV" against the tavsim program on 127.0.0.1, and tavsim's options for the
// answer to the network search. Every wait is bounded.
#include "DiscoverySupport.h"
#include "TestSupport.h"

#include "common/Discovery.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kAnswerWaitMs = 3000;
constexpr int kMaxReads = 500;

QString tavsimPath()
{
    const QString env = qEnvironmentVariable("TAVSIM");
    return env.isEmpty() ? QStringLiteral(TAVSIM_PATH) : env;
}

// One tavsim run: started with the arguments, read until "ready" (or exit), stopped at the end.
struct Tavsim {
    QProcess proc;
    QString out;
    bool ready = false;

    explicit Tavsim(const QStringList& args)
    {
        proc.start(tavsimPath(), args);
        if (!proc.waitForStarted(kStartTimeoutMs))
            return;
        QDeadlineTimer deadline(kStartTimeoutMs);
        for (int i = 0; i < kMaxReads && !ready && !deadline.hasExpired(); ++i) {
            if (!proc.waitForReadyRead(100) && proc.state() != QProcess::Running)
                break;
            out += QString::fromLatin1(proc.readAllStandardOutput());
            ready = out.contains(QLatin1String("\nready\n")) || out.startsWith(QLatin1String("ready\n"));
        }
    }
    ~Tavsim()
    {
        if (proc.state() != QProcess::NotRunning) {
            proc.terminate();
            if (!proc.waitForFinished(kStartTimeoutMs))
                proc.kill();
            proc.waitForFinished(kStartTimeoutMs);
        }
    }
    // The UDP port tavsim printed, 0 when none.
    int udpPort() const
    {
        const auto m = QRegularExpression(QStringLiteral("udp: 127\\.0\\.0\\.1:(\\d+)")).match(out);
        return m.hasMatch() ? m.captured(1).toInt() : 0;
    }
    // Reads stdout until the text appears or the time is up.
    bool waitForOutput(const QString& text)
    {
        QDeadlineTimer deadline(kAnswerWaitMs);
        for (int i = 0; i < kMaxReads && !out.contains(text) && !deadline.hasExpired(); ++i) {
            proc.waitForReadyRead(20);
            out += QString::fromLatin1(proc.readAllStandardOutput());
        }
        return out.contains(text);
    }
    // Runs to the end (for runs that should refuse to start); the exit code, -1 when it hangs.
    int finish()
    {
        if (proc.state() != QProcess::NotRunning && !proc.waitForFinished(kStartTimeoutMs))
            return -1;
        if (proc.exitStatus() != QProcess::NormalExit)
            return -1;
        out += QString::fromLatin1(proc.readAllStandardOutput());
        return proc.exitCode();
    }
};

} // namespace

TEST(DiscoveryTavsim, FindSpecificListsTheSimulatorThatAnswered)
{
    // tavsim picks a free request port; if the answer port beside it is taken, try again.
    constexpr int kAttempts = 5;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        Tavsim t({"--no-pty", "--port", "0", "--discovery-port", "0", "--calm"});
        ASSERT_TRUE(t.ready) << t.out.toStdString();
        const int port = t.udpPort();
        ASSERT_GT(port, 0) << t.out.toStdString();
        if (port > 65532 || !testsupport::udpPortFree(QHostAddress::LocalHost, port + 3))
            continue;

        common::Discovery d({"127.0.0.1", "127.0.0.1"});
        std::vector<std::string> errors;
        d.onError = [&](const std::string& e) { errors.push_back(e); };
        ASSERT_TRUE(d.findSpecific("127.0.0.1", std::to_string(port))) << (errors.empty() ? "" : errors[0]);
        ASSERT_TRUE(testsupport::pumpUntil([&] { return !d.found().empty(); }, kAnswerWaitMs));
        EXPECT_EQ(d.found(), std::vector<std::string>{"127.0.0.1"});
        EXPECT_TRUE(t.waitForOutput(QStringLiteral("discovery: answered 127.0.0.1:%1").arg(port + 3)))
            << t.out.toStdString();
        EXPECT_TRUE(errors.empty());
        return;
    }
    FAIL() << "no usable port pair in " << kAttempts << " attempts";
}

TEST(DiscoveryTavsim, OptionsForTheSearchAnswer)
{
    // A request port someone else holds.
    QUdpSocket holder;
    ASSERT_TRUE(holder.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    const QString held = QString::number(holder.localPort());

    const struct {
        const char* name;
        QStringList args;
        bool starts;
        const char* expect; // in stdout when it starts, in stderr when it refuses
    } cases[] = {
        {"no answer asked for", {"--no-discovery"}, true, nullptr},
        {"port past the answer range", {"--discovery-port", "65533"}, false, "--discovery-port must be 0 to 65532"},
        {"not a number", {"--discovery-port", "x"}, false, "--discovery-port takes a whole number"},
        {"explicit port taken", {"--discovery-port", held}, false, "cannot answer discovery on UDP 127.0.0.1:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Tavsim t(QStringList{"--no-pty", "--port", "0"} + c.args);
        if (c.starts) {
            ASSERT_TRUE(t.ready) << t.out.toStdString();
            EXPECT_EQ(t.udpPort(), 0) << t.out.toStdString();
            EXPECT_FALSE(t.out.contains("udp:")) << t.out.toStdString();
        } else {
            EXPECT_EQ(t.finish(), 2);
            EXPECT_FALSE(t.ready);
            const QString err = QString::fromLatin1(t.proc.readAllStandardError());
            EXPECT_TRUE(err.contains(QLatin1String(c.expect))) << err.toStdString();
        }
    }
}
