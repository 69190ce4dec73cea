#pragma once
// The tavsim program run as a child process for the tests that talk to it: started, read up to
// its "ready" line (where it serves noted on the way), and stopped when it goes out of scope.
// Every wait is bounded.
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tavsimtest {

inline constexpr int kStartTimeoutMs = 10000;
inline constexpr int kReplyTimeoutMs = 5000;
inline constexpr int kMaxWaits = 1000; // upper bound on wait rounds of any loop

inline void ensureApp()
{
    static int argc = 1;
    static char name[] = "sim_integration_tests";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

inline QString tavsimPath()
{
    const QString env = qEnvironmentVariable("TAVSIM");
    return env.isEmpty() ? QStringLiteral(TAVSIM_PATH) : env;
}

// Opens a terminal device as a client would: read-write, not the controlling terminal,
// non-blocking, raw. -1 when it cannot be opened.
inline int openRawTerminal(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        termios t{};
        ::tcgetattr(fd, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    return fd;
}

// One running tavsim, read up to "ready"; stopped (SIGTERM, then kill) when it goes out of scope.
struct Tavsim {
    QProcess proc;
    QString output;
    quint16 tcpPort = 0;
    QString ptyPath;
    int ptyOpenings = 0; // "pty:" lines seen
    QString module;
    bool ready = false;

    explicit Tavsim(const QStringList& args)
    {
        ensureApp();
        proc.setProgram(tavsimPath());
        proc.setArguments(args);
        proc.setProcessChannelMode(QProcess::SeparateChannels);
        proc.start();
        if (!proc.waitForStarted(kStartTimeoutMs))
            return;
        QDeadlineTimer deadline(kStartTimeoutMs);
        for (int i = 0; i < kMaxWaits && !ready && !deadline.hasExpired(); ++i) {
            if (!proc.canReadLine() && !proc.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))
                && proc.state() != QProcess::Running)
                break;
            readLines();
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
    Tavsim(const Tavsim&) = delete;
    Tavsim& operator=(const Tavsim&) = delete;

    // Takes in the complete lines printed so far.
    void readLines()
    {
        while (proc.canReadLine()) {
            const QString line = QString::fromLocal8Bit(proc.readLine()).trimmed();
            output += line + QLatin1Char('\n');
            if (line.startsWith(QLatin1String("tcp: "))) {
                tcpPort = static_cast<quint16>(line.section(QLatin1Char(':'), -1).toUInt());
            } else if (line.startsWith(QLatin1String("pty: "))) {
                ptyPath = line.mid(5);
                ++ptyOpenings;
            } else if (line.startsWith(QLatin1String("module: "))) {
                module = line.mid(8);
            } else if (line == QLatin1String("ready")) {
                ready = true;
            }
        }
    }
    // Ends the program with SIGTERM; true when it exited normally with status 0.
    bool stop()
    {
        proc.terminate();
        const bool finished = proc.waitForFinished(kStartTimeoutMs);
        output += QString::fromLocal8Bit(proc.readAllStandardOutput());
        return finished && proc.exitStatus() == QProcess::NormalExit && proc.exitCode() == 0;
    }
};

} // namespace tavsimtest
