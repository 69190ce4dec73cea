// korrin's command-line auto upload through the Vantor, end to end: the korrin program against
// the tavsim program over a real pseudo-terminal, in real time. The Vantor's application and
// bootloader (its USB port going away and coming back as a new pseudo-terminal at a fixed
// link), the Orla PCU behind the Vantor's stream, and the SLCD from a BIN image; what each
// simulated module took is compared with the file, and the exit status is checked.
#include "sim/TavsimProcess.h"
#include "terminal/upload/ImageFiles.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

using tavsimtest::Tavsim;

struct Outcome {
    int exitCode = -1;
    QString out;
};

// An image of 16-byte records from 0x8000, a last record at lastAddress, and S9.
uptest::Image image(int records, unsigned lastAddress)
{
    uptest::Image img;
    img.lines.push_back("S00600004844521B");
    for (int r = 0; r < records; ++r) {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < 16; ++i)
            data.push_back(std::uint8_t(r * 16 + i * 3));
        img.lines.push_back(uptest::s1Record(0x8000 + unsigned(r) * 16, data));
    }
    img.lines.push_back(uptest::s1Record(lastAddress, {0x55, 0xAA}));
    img.lines.push_back("S9030000FC");
    return img;
}

class KorrinVantorUpload : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const char* name) const { return dir.path() + "/" + name; }
    std::string write(const char* name, const std::string& bytes) const
    {
        std::ofstream(path(name).toStdString(), std::ios::binary) << bytes;
        return path(name).toStdString();
    }
    std::string read(const char* name) const
    {
        std::ifstream in(path(name).toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // tavsim serving the module at a fixed link (the Vantor's port comes back as a new
    // pseudo-terminal there).
    QStringList simArgs(const char* module, const QStringList& more) const
    {
        return QStringList{"--module", module, "--no-tcp", "--no-discovery", "--link", path("port")} + more;
    }
    Outcome autoUpload(const char* moduleCode, const char* file)
    {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("XDG_DATA_HOME", path("data"));
        env.insert("XDG_RUNTIME_DIR", dir.path());
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(KORRIN_PATH, {"--connect", "serial:" + path("port"), "--module", moduleCode, "--auto-upload", path(file)});
        Outcome r;
        if (!p.waitForFinished(110000)) {
            p.kill();
            p.waitForFinished(3000);
        } else if (p.exitStatus() == QProcess::NormalExit) {
            r.exitCode = p.exitCode();
        }
        r.out = QString::fromLatin1(p.readAll());
        return r;
    }

    QTemporaryDir dir;
};

TEST_F(KorrinVantorUpload, TheVantorTakesTheImageThroughTwoPortCyclesAndEndsWithStatusZero)
{
    const uptest::Image img = image(20, 0xE003);
    write("vantor.s19", img.text());
    Tavsim sim(simArgs("vantor-boot", {"--vantor-image", path("taken.txt")}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome r = autoUpload("Vantor", "vantor.s19");
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(read("taken.txt"), img.text()) << "every line as the file holds it";
    EXPECT_TRUE(r.out.contains("PT:  Bootloader start is sucessful!"));
    EXPECT_TRUE(r.out.contains("Update Cycle Complete !!")) << r.out.toStdString();
    for (int i = 0; i < 10 && sim.ptyOpenings < 3; ++i) {
        sim.proc.waitForReadyRead(200);
        sim.readLines();
    }
    EXPECT_GE(sim.ptyOpenings, 3) << "the port went away into the bootloader and back into the application";
}

TEST_F(KorrinVantorUpload, TheOrlaPcuTakesAllButTheFirstLineAndEndsWithTheGoodCrc)
{
    const uptest::Image img = image(20, 0xF003);
    write("orla.s19", img.text());
    Tavsim sim(simArgs("orla-boot", {"--calm", "--orla-image", path("taken.txt")}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome r = autoUpload("OrlaPCU", "orla.s19");
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    const std::string all = img.text();
    EXPECT_EQ(read("taken.txt"), all.substr(all.find("\r\n") + 2));
    EXPECT_TRUE(r.out.contains("CRC is GOOD")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Waiting for PCU to reboot"));
}

TEST_F(KorrinVantorUpload, AVantorThatKeepsStreamingEndsWithTheHandshakeStatus)
{
    write("orla.s19", image(2, 0xF003).text());
    Tavsim sim(simArgs("orla-boot", {"--orla-stream", "endless"}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome r = autoUpload("OrlaPCU", "orla.s19");
    EXPECT_EQ(r.exitCode, 4) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("PT:  Vantor stop failed, check Com Ports and try again"));
    EXPECT_FALSE(r.out.contains("PT:  Erase attempt"));
}

TEST_F(KorrinVantorUpload, TheSlcdTakesTheBinImageInBlocksAndTheUpdateCompletes)
{
    std::string bin(1000, '\0');
    for (size_t i = 0; i < bin.size(); ++i)
        bin[i] = char(i < 2 ? (i == 0 ? 0xEB : 0xFE) : (i * 11) & 0xFF);
    write("slcd.bin", bin);
    Tavsim sim(simArgs("slcd", {"--slcd-image", path("taken.bin")}));
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();
    const Outcome r = autoUpload("SLCD", "slcd.bin");
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString();
    EXPECT_EQ(read("taken.bin"), bin);
    EXPECT_TRUE(r.out.contains("PT:  Programming Complete 8 lines\nPT:  104 characters in last line"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("USB port has been closed."));
}

} // namespace
