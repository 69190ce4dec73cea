// The velmar program, offscreen, against the tavsim program over TCP on loopback.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int exitCode = -1;
    QString out, err;
};

ProgramRun runVelmar(const QStringList& args, const QString& configDir, int timeoutMs = 20000)
{
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", configDir);
    p.setProcessEnvironment(env);
    p.start(VELMAR_PATH, args);
    ProgramRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(2000);
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromLatin1(p.readAllStandardOutput());
    r.err = QString::fromLatin1(p.readAllStandardError());
    return r;
}

// Starts tavsim on a free loopback port; returns the port, 0 on failure.
int startSim(QProcess& sim)
{
    sim.start(TAVSIM_PATH, {"--port", "0", "--no-pty"});
    if (!sim.waitForStarted(5000))
        return 0;
    QString seen;
    for (int i = 0; i < 100 && sim.state() == QProcess::Running; ++i) {
        sim.waitForReadyRead(100);
        seen += QString::fromLatin1(sim.readAllStandardOutput());
        const auto m = QRegularExpression("tcp: 127\\.0\\.0\\.1:(\\d+)").match(seen);
        if (m.hasMatch() && seen.contains("ready"))
            return m.captured(1).toInt();
    }
    return 0;
}

} // namespace

TEST(VelmarProgram, PollsTheSimulatorOverTcpAndLeavesTheStoredProfilesAlone)
{
    QProcess sim;
    const int port = startSim(sim);
    ASSERT_GT(port, 0);
    QTemporaryDir cfg;
    ASSERT_TRUE(cfg.isValid());
    const QString shot = cfg.filePath("panel.png");
    const ProgramRun r = runVelmar({"--connect", QString("tcp:127.0.0.1:%1").arg(port), "--trace", "--screenshot", shot,
                             "--quit-after", "3"},
                            cfg.path());
    sim.terminate();
    sim.waitForFinished(3000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("status: Status: Port Open")) << r.out.toStdString();
    // The greeting takes the slot behind the first command; then replies match their queries.
    EXPECT_TRUE(r.out.contains(QRegularExpression("reply TAVSIM NET READY\\s+for \\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression("reply S\\S{4}L\\d{4}.* for S\\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression("reply .?E\\d{4} .* for P\\n"))) << r.out.toStdString();
    EXPECT_TRUE(QFile::exists(shot));
    // This run's link was not stored; closing saved only the view settings.
    QFile ini(cfg.path() + "/tessaro/multTAVRemote.ini");
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QString stored = QString::fromLatin1(ini.readAll());
    EXPECT_TRUE(stored.contains("Mode=DVB")) << stored.toStdString();
    EXPECT_FALSE(stored.contains("Port1")) << stored.toStdString();
    EXPECT_FALSE(stored.contains(QString::number(port))) << stored.toStdString();
}

TEST(VelmarProgram, CommandLineHelpVersionAndBadLinks)
{
    QTemporaryDir cfg;
    const ProgramRun help = runVelmar({"--help"}, cfg.path());
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--connect")) << help.out.toStdString();
    const ProgramRun ver = runVelmar({"--version"}, cfg.path());
    EXPECT_EQ(ver.exitCode, 0);
    EXPECT_TRUE(ver.out.contains(QRegularExpression("velmar \\d+\\.\\d+"))) << ver.out.toStdString();
    for (const char* bad : {"tcp:127.0.0.1", "tcp:127.0.0.1:99999", "udp:1.2.3.4:5", "serial:"}) {
        const ProgramRun r = runVelmar({"--connect", bad}, cfg.path());
        EXPECT_EQ(r.exitCode, 2) << bad;
        EXPECT_TRUE(r.err.contains("velmar: ")) << bad << " " << r.err.toStdString();
    }
    EXPECT_FALSE(QDir(cfg.path() + "/tessaro").exists()) << "nothing stored by a refused start";
}
