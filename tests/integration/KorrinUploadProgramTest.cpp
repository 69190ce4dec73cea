// korrin's command-line upload end to end: the korrin program against the tavsim program's
// simulated ACU bootloader over a real pseudo-terminal, in real time. The image the simulator
// reassembled is compared with the file, and the exit status is checked for a success, for an
// error the module reports, for SIGTERM during the transfer, and for the image check alone.
#include "KorrinRun.h"
#include "sim/TavsimProcess.h"
#include "terminal/upload/ImageFiles.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>

namespace {

using tavsimtest::Tavsim;

using korrintest::Outcome;

class KorrinUpload : public korrintest::KorrinRun {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        image = uptest::acuImage(12);
        std::ofstream(path("acu.s19").toStdString(), std::ios::binary) << image.text();
    }
    Outcome autoUpload(const Tavsim& sim)
    {
        QProcess p;
        start(p, {"--connect", "serial:" + sim.ptyPath, "--module", "TAV8a", "--auto-upload", path("acu.s19")});
        return finish(p);
    }
    QStringList simArgs(const QStringList& faults)
    {
        return QStringList{"--module", "acu-boot", "--no-tcp", "--no-discovery", "--boot-image", path("memory.bin")}
               + faults;
    }
    std::string memory() const
    {
        std::ifstream in(path("memory.bin").toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string history() const
    {
        std::ifstream in(path("data/tessaro/uploads.csv").toStdString());
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    uptest::Image image;
};

TEST_F(KorrinUpload, AnAutoUploadLoadsTheImageAndEndsWithStatusZero)
{
    Tavsim sim(simArgs({}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome r = autoUpload(sim);
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("PT:  ACU programming complete, No errors detected!!"));
    const std::string mem = memory();
    ASSERT_EQ(mem.size(), 65536u);
    for (const auto& [address, value] : image.bytes)
        ASSERT_EQ(static_cast<unsigned char>(mem[address]), value) << "at " << address;
    EXPECT_NE(history().find(",TAV8a," + path("acu.s19").toStdString() + ","), std::string::npos);
    EXPECT_NE(history().find(",7.20,7.12,complete,"), std::string::npos) << history();
}

TEST_F(KorrinUpload, AnErrorTheModuleReportsEndsWithTheTransferErrorStatus)
{
    Tavsim sim(simArgs({"--boot-refuse-record", "4"}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome r = autoUpload(sim);
    EXPECT_EQ(r.exitCode, 6) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("PT:  WARNING Errors detected"));
    EXPECT_FALSE(r.out.contains("No errors detected"));
    EXPECT_NE(history().find(",errors detected,"), std::string::npos) << history();
}

// The pseudo-terminal goes away in the middle of the transfer (the module's USB side restarts).
TEST_F(KorrinUpload, APseudoTerminalThatClosesMidTransferEndsCancelledNeverComplete)
{
    Tavsim sim(simArgs({"--boot-drop-after", "6"}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome r = autoUpload(sim);
    EXPECT_EQ(r.exitCode, 7) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("PT:  WARNING Upload Cancled")) << r.out.toStdString();
    EXPECT_FALSE(r.out.contains("No errors detected"));
}

TEST_F(KorrinUpload, SigtermDuringTheTransferCancelsCleanly)
{
    Tavsim sim(simArgs({}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    QProcess p;
    start(p, {"--connect", "serial:" + sim.ptyPath, "--module", "TAV8a", "--auto-upload", path("acu.s19")});
    QString out;
    QDeadlineTimer deadline(60000);
    for (int i = 0; i < 6000 && !out.contains("[Upload]") && !deadline.hasExpired(); ++i) {
        p.waitForReadyRead(100);
        out += QString::fromLatin1(p.readAll());
    }
    ASSERT_TRUE(out.contains("[Upload]")) << out.toStdString();
    ::kill(pid_t(p.processId()), SIGTERM);
    const Outcome r = finish(p);
    out += r.out;
    EXPECT_EQ(r.exitCode, 7) << out.toStdString();
    EXPECT_TRUE(out.contains("PT:  WARNING Upload Cancled"));
    EXPECT_NE(history().find(",cancelled"), std::string::npos) << history();
}

TEST_F(KorrinUpload, TheCheckAloneNeedsNoLinkAndBadUsageIsStatusTwo)
{
    QProcess check;
    start(check, {"--module", "TAV8a", "--check", path("acu.s19")});
    const Outcome ok = finish(check);
    EXPECT_EQ(ok.exitCode, 0) << ok.out.toStdString();
    EXPECT_TRUE(ok.out.contains("verified, version \"7.20\""));

    QProcess refused;
    start(refused, {"--module", "TAV8p", "--check", path("acu.s19")}); // an ACU image for a PCU
    EXPECT_EQ(finish(refused).exitCode, 3);

    for (const QStringList& args : {QStringList{"--module", "NOPE", "--check", path("acu.s19")},
                                    QStringList{"--check", path("acu.s19")},
                                    QStringList{"--module", "TAV8a", "--check", "x", "--upload", "y"}}) {
        QProcess bad;
        start(bad, args);
        EXPECT_EQ(finish(bad).exitCode, 2) << args.join(' ').toStdString();
    }
}

} // namespace
