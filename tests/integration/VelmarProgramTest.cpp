// The velmar program against the tavsim program: the window offscreen over TCP on loopback,
// and the command-line dump and log over a pseudo-terminal.
#include "sim/TavsimProcess.h"

#include <QDeadlineTimer>
#include <algorithm>
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

// ---------------------------------------------------------------- without a window

namespace {

QStringList fileLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromLatin1(f.readAll()).split("\r\n");
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.pop_back();
    return lines;
}

} // namespace

TEST(VelmarHeadless, DumpOverAPseudoTerminalWritesAllReplies)
{
    tavsimtest::Tavsim sim({"--no-tcp", "--no-discovery"});
    ASSERT_TRUE(sim.ready && !sim.ptyPath.isEmpty()) << sim.output.toStdString();
    QTemporaryDir cfg;
    const QString file = cfg.filePath("param_Leg.txt");
    const ProgramRun r = runVelmar({"--connect", "serial:" + sim.ptyPath, "--dump", file}, cfg.path(), 60000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("Reading PCU Parameters")) << r.err.toStdString();
    const QStringList lines = fileLines(file);
    ASSERT_EQ(lines.size(), 2 + 91) << lines.join("\n").toStdString();
    EXPECT_EQ(lines[0], "'ACU Parameter Dump - Legacy Mode");
    EXPECT_TRUE(lines[3].startsWith("'S")) << lines[3].toStdString();
    EXPECT_TRUE(lines[5].startsWith("mB\t")) << lines[5].toStdString();
    EXPECT_FALSE(lines.join("\n").contains("????"));
}

TEST(VelmarHeadless, RecordLogsUntilTheTimeIsUpThenAppendsTheDump)
{
    tavsimtest::Tavsim sim({"--no-tcp", "--no-discovery"});
    ASSERT_TRUE(sim.ready && !sim.ptyPath.isEmpty()) << sim.output.toStdString();
    QTemporaryDir cfg;
    const QString file = cfg.filePath("ivc.csv");
    const ProgramRun r = runVelmar(
        {"--connect", "serial:" + sim.ptyPath, "--record", file, "--graph-mode", "1", "--seconds", "4"}, cfg.path(),
        60000);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = fileLines(file);
    ASSERT_GT(lines.size(), 1 + 2 + 91);
    EXPECT_EQ(lines[0], "Time,CL,LV,AZ,Rel,Phase,LAT,LON,ExtAGC,Stat123 RL,Notes,Velmar DISP ivc (Loop Error) Log File");
    const int dumpAt = int(lines.indexOf("'ACU Parameter Dump - Legacy Mode"));
    ASSERT_GT(dumpAt, 1) << "records before the dump";
    EXPECT_EQ(lines.size() - dumpAt, 2 + 91);
    EXPECT_EQ(lines[1].count(','), 5) << lines[1].toStdString();
}

TEST(VelmarHeadless, SigtermEndsARecordingAsCloseDataLogDoes)
{
    tavsimtest::Tavsim sim({"--no-tcp", "--no-discovery"});
    ASSERT_TRUE(sim.ready && !sim.ptyPath.isEmpty()) << sim.output.toStdString();
    QTemporaryDir cfg;
    const QString file = cfg.filePath("admc.csv");
    QProcess p;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", cfg.path());
    p.setProcessEnvironment(env);
    p.start(VELMAR_PATH, {"--connect", "serial:" + sim.ptyPath, "--record", file});
    ASSERT_TRUE(p.waitForStarted(5000));
    // Bounded: until the log has records (the header and one more line), at most 20 s.
    QDeadlineTimer deadline(20000);
    while (fileLines(file).size() < 2 && !deadline.hasExpired())
        p.waitForFinished(200);
    ASSERT_GE(fileLines(file).size(), 2) << QString::fromLatin1(p.readAllStandardError()).toStdString();
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(40000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0) << QString::fromLatin1(p.readAllStandardError()).toStdString();
    const QStringList lines = fileLines(file);
    EXPECT_TRUE(lines[0].startsWith("Time,El,Az,CL,Rel,Hdd,AGC,LAT,LON,ExtAGC,Stat123 RL,")) << lines[0].toStdString();
    const int dumpAt = int(lines.indexOf("'ACU Parameter Dump - Legacy Mode"));
    ASSERT_GT(dumpAt, 1);
    // Records go on into the log while its closing dump runs (a status reply is an ADMC sample).
    const QRegularExpression record("^\\d\\d:\\d\\d:\\d\\d,");
    const auto dumpLines = std::count_if(lines.begin() + dumpAt, lines.end(),
                                         [&](const QString& l) { return !record.match(l).hasMatch(); });
    EXPECT_EQ(dumpLines, 2 + 91);
}

TEST(VelmarHeadless, StatusesForBadUsageAndALinkThatDoesNotOpen)
{
    QTemporaryDir cfg;
    EXPECT_EQ(runVelmar({"--dump", cfg.filePath("a"), "--record", cfg.filePath("b")}, cfg.path()).exitCode, 2);
    EXPECT_EQ(runVelmar({"--record", cfg.filePath("b"), "--graph-mode", "9"}, cfg.path()).exitCode, 2);
    const ProgramRun r = runVelmar({"--connect", "serial:" + cfg.filePath("no-such-device"), "--dump", cfg.filePath("a")},
                                   cfg.path(), 30000);
    EXPECT_EQ(r.exitCode, 3) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(cfg.filePath("a")));
}
