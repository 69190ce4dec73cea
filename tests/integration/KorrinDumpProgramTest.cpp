// korrin's command-line parameter dumps end to end: the korrin program against the tavsim
// program's ACU of the terminal's paths over a real pseudo-terminal, in real time. The file is
// read back and checked, and so are the exit statuses for a dump written, a file that cannot
// be written or is not to be replaced, and SIGTERM in the middle of the dump.
#include "KorrinRun.h"
#include "sim/TavsimProcess.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <iterator>

namespace {

using tavsimtest::Tavsim;

using korrintest::Outcome;

class KorrinDump : public korrintest::KorrinRun {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    Outcome run(const Tavsim& sim, const char* mode, const QString& file)
    {
        QProcess p;
        start(p, {"--connect", "serial:" + sim.ptyPath, "--module", "TAV8a", mode, file});
        return finish(p);
    }
    static QStringList simArgs(const QStringList& more = {})
    {
        return QStringList{"--module", "acu-terminal", "--no-tcp", "--no-discovery", "--calm", "--on-target"} + more;
    }
    // The file's lines; every line ends in CR LF.
    static std::vector<std::string> lines(const QString& file)
    {
        std::ifstream in(file.toStdString(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        std::vector<std::string> out;
        size_t from = 0;
        for (size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
            out.push_back(text.substr(from, at - from));
        EXPECT_EQ(from, text.size()) << "the file does not end with CR LF";
        return out;
    }
    static bool has(const std::vector<std::string>& l, const std::string& s)
    {
        return std::find(l.begin(), l.end(), s) != l.end();
    }

};

TEST_F(KorrinDump, AFullDumpWritesTheFileShowsItAndEndsWithStatusZero)
{
    Tavsim sim(simArgs({"--busy-every", "25"}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome r = run(sim, "--dump", path("param_All.txt"));
    ASSERT_EQ(r.exitCode, 0) << r.out.toStdString();
    const auto l = lines(path("param_All.txt"));
    ASSERT_FALSE(l.empty());
    EXPECT_EQ(l.front(), "'TAV ACU VER 4.20 SIM");
    for (const char* line : {"mB\t012\t'001.2\tEl Trim", "mD\t251\t'-000.5\tAz Trim", "mt\t219\t'6875 / 0430  Baud/KHz",
                             "n0\t003\t'Model Index", "'COMM IF VER 2.02 SIM", "[I\t192.168.0.195\t'IP Address"})
        EXPECT_TRUE(has(l, line)) << line;
    EXPECT_EQ(l.back(), "[B\t4800\t\t'Baud Rate NMEA (B)");
    EXPECT_EQ(std::count_if(l.begin(), l.end(), [](const std::string& s) { return s.find("###") != s.npos; }), 0);
    EXPECT_TRUE(r.out.contains("[Please Wait] Reading TAV parameters"));
    EXPECT_TRUE(r.out.contains("mD\t251\t'-000.5\tAz Trim\n")) << "the file is shown";
}

TEST_F(KorrinDump, ThePcuAloneAFileThatCannotBeWrittenAndOneNotToBeReplaced)
{
    Tavsim sim(simArgs());
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome pcu = run(sim, "--dump-pcu", path("pcu.txt"));
    ASSERT_EQ(pcu.exitCode, 0) << pcu.out.toStdString();
    const auto l = lines(path("pcu.txt"));
    EXPECT_EQ(std::count_if(l.begin(), l.end(), [](const std::string& s) { return s.rfind("n", 0) == 0; }), 12);
    EXPECT_EQ(std::count_if(l.begin(), l.end(), [](const std::string& s) { return s.rfind("m", 0) == 0; }), 0);
    EXPECT_TRUE(has(l, "'PCU VER 2.31 SIM"));
    ASSERT_FALSE(l.empty());
    EXPECT_EQ(l.back().rfind("n;\t", 0), 0u) << l.back();

    const Outcome bad = run(sim, "--dump", path("no/such/folder/param.txt"));
    EXPECT_EQ(bad.exitCode, 9) << bad.out.toStdString();
    EXPECT_TRUE(bad.out.contains("No such file or directory"));

    const Outcome kept = run(sim, "--dump", path("pcu.txt")); // exists; --answer is no
    EXPECT_EQ(kept.exitCode, 3) << kept.out.toStdString();
    EXPECT_EQ(lines(path("pcu.txt")), l);
}

TEST_F(KorrinDump, SigtermDuringTheDumpEndsTheFileWithTheCancelLine)
{
    Tavsim sim(simArgs());
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    QProcess p;
    start(p, {"--connect", "serial:" + sim.ptyPath, "--module", "TAV8a", "--dump", path("param.txt")});
    QString out;
    QDeadlineTimer deadline(60000);
    for (int i = 0; i < 6000 && !out.contains("'ACU Parameter Dump") && !deadline.hasExpired(); ++i) {
        p.waitForReadyRead(100);
        out += QString::fromLatin1(p.readAll());
    }
    ASSERT_TRUE(out.contains("'ACU Parameter Dump")) << out.toStdString();
    ::kill(pid_t(p.processId()), SIGTERM);
    const Outcome r = finish(p);
    out += r.out;
    EXPECT_EQ(r.exitCode, 7) << out.toStdString();
    const auto l = lines(path("param.txt"));
    ASSERT_GE(l.size(), 2u);
    EXPECT_EQ(l.back(), "'Parameter Dump Canceled");
    EXPECT_EQ(l[l.size() - 2], "");
    EXPECT_FALSE(has(l, "'COMM IF VER 2.02 SIM"));
}

} // namespace
