// korrin's command-line auto upload of the PCU, the motor driver, the modems and the Brine PCU
// end to end: the korrin program against the tavsim program's simulated bootloaders over a real
// pseudo-terminal, in real time. Every path is uploaded and what the simulated unit reassembled
// is compared with the file; the USB units' device goes while they restart and comes back under
// the same path. Each kind of path also fails once, with its exit status.
#include "sim/TavsimProcess.h"
#include "terminal/upload/PcuImages.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>

namespace {

using tavsimtest::Tavsim;
using term::ModulePath;

struct Case {
    const char* name;
    const char* module;       // tavsim --module
    ModulePath path;          // korrin --module (its code)
    QStringList faults;       // more tavsim options
    int exitCode;
    const char* line;         // korrin prints this
    bool imageLoaded;         // the unit holds the file's image
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class KorrinPcuUpload : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const char* name) const { return dir.path() + "/" + name; }

    int run(const QString& device, const QString& code, QString& out)
    {
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", path("config"));
        env.insert("XDG_DATA_HOME", path("data"));
        env.insert("XDG_RUNTIME_DIR", dir.path());
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(KORRIN_PATH, {"--connect", "serial:" + device, "--module", code, "--auto-upload", path("unit.s19")});
        int code_ = -1;
        if (!p.waitForFinished(110000)) {
            p.kill();
            p.waitForFinished(3000);
        } else if (p.exitStatus() == QProcess::NormalExit) {
            code_ = p.exitCode();
        }
        out = QString::fromLatin1(p.readAll());
        return code_;
    }
    std::string memory() const
    {
        std::ifstream in(path("memory.bin").toStdString(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    QTemporaryDir dir;
};

TEST_P(KorrinPcuUpload, UploadsAndEndsWithItsStatus)
{
    const Case& c = GetParam();
    const uptest::Image image = uptest::unitImage(c.path, 8);
    std::ofstream(path("unit.s19").toStdString(), std::ios::binary) << image.text();
    const bool usb = c.path == ModulePath::USBpcu || c.path == ModulePath::USBmdb;
    QStringList args{"--module", c.module, "--no-tcp", "--no-discovery", "--pcu-image", path("memory.bin")};
    if (usb)
        args << "--link" << path("ttyUSB0") << "--pcu-gone" << "2";
    Tavsim sim(args + c.faults);
    ASSERT_TRUE(sim.ready) << sim.output.toStdString();

    QString out;
    const int status = run(usb ? path("ttyUSB0") : sim.ptyPath, term::modulePathRow(c.path).code, out);
    EXPECT_EQ(status, c.exitCode) << out.toStdString();
    EXPECT_TRUE(out.contains(QString::fromLatin1(c.line))) << out.toStdString();
    if (c.exitCode != 0) {
        EXPECT_FALSE(out.contains("No errors detected")) << out.toStdString();
    }

    const std::string mem = memory();
    if (c.imageLoaded) {
        ASSERT_EQ(mem.size(), 65536u);
        for (const auto& [address, value] : image.bytes)
            ASSERT_EQ(static_cast<unsigned char>(mem[address]), value) << "at " << address;
    }
    if (usb && c.exitCode == 0) {
        for (int i = 0; i < 50 && !sim.output.contains("dropped: pty"); ++i) {
            sim.proc.waitForReadyRead(100);
            sim.readLines();
        }
        EXPECT_TRUE(sim.output.contains("dropped: pty")) << "the device went while the unit restarted";
        EXPECT_TRUE(out.contains("Waiting for application to restart"));
    }
}

const QStringList kNone;

INSTANTIATE_TEST_SUITE_P(
    EveryPath, KorrinPcuUpload,
    ::testing::Values(
        Case{"Tav8kToPcu", "pcu-boot", ModulePath::TAV8p, kNone, 0, "PT:  PCU programming complete, No errors detected!!", true},
        Case{"Tav07ToPcu", "pcu-boot", ModulePath::TAVp, kNone, 0, "PT:  PCU programming complete, No errors detected!!", true},
        Case{"Tav8kToMde", "mde-boot", ModulePath::TAV8mdb, kNone, 0,
             "PT:  Motor Driver programming complete, No errors detected!!", true},
        Case{"UsbToPcu", "pcu-usb", ModulePath::USBpcu, kNone, 0, "Update Cycle Complete !!", true},
        Case{"ServicePortToPcu", "pcu-service", ModulePath::SPG2pcu, kNone, 0,
             "PT:  PCU programming complete, No errors detected!! ", true},
        Case{"UsbToMde", "mde-usb", ModulePath::USBmdb, kNone, 0, "Update Cycle Complete !!", true},
        Case{"BdeModem", "modem-boot", ModulePath::TAV8m1, kNone, 0,
             "PT:  Module upload complete (this module path reports no errors)", true},
        Case{"AdeModem", "modem-boot", ModulePath::TAV8m2, kNone, 0,
             "PT:  Module upload complete (this module path reports no errors)", true},
        Case{"BrinePcuDirect", "brine-boot", ModulePath::CPCU, kNone, 0,
             "PT:  Module upload complete (this module path reports no errors)", true},
        // Each kind of path fails once.
        Case{"PcuOfAnotherMajorVersion", "pcu-boot", ModulePath::TAV8p, {"--pcu-version", "6.20"}, 4,
             "PT:  File and Module major version numbers do not match, Cannot proceed.", false},
        Case{"UsbPcuWithoutOk", "pcu-usb", ModulePath::USBpcu, {"--pcu-no-ok"}, 6, "PT:  Closing Port ", true},
        Case{"ServicePortFallingSilent", "pcu-service", ModulePath::SPG2pcu, {"--pcu-silent-after", "3"}, 7,
             "PT:  No answer from the PCU for 5 seconds after a line, the transfer stops", false},
        Case{"ModemWhoseEraseFails", "modem-boot", ModulePath::TAV8m1, {"--pcu-refuse-erase"}, 5,
             "PT:  Un-sucessful Erase, Manually reset the ACU and try the Auto Upload function again", false}),
    [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace

namespace {

// tavsim takes the "--pcu-..." options only for the units they belong to, and only values that
// make sense; a refusal is exit status 2 with the reason on stderr.
TEST(TavsimPcuOptions, AreRefusedWhereTheyDoNotBelong)
{
    tavsimtest::ensureApp();
    const struct {
        QStringList args;
        const char* reason;
    } cases[] = {
        {{"--module", "acu-boot", "--pcu-no-ok"}, "--pcu-no-ok applies to --module pcu-boot"},
        {{"--pcu-start", "bootloader"}, "--pcu-start applies to --module pcu-boot"},
        {{"--module", "pcu-boot", "--pcu-start", "asleep"}, "--pcu-start \"asleep\" is not one of"},
        {{"--module", "pcu-boot", "--pcu-status-length", "2"}, "--pcu-status-length takes a whole number from 3 to 40"},
        {{"--module", "mde-usb", "--pcu-gone", "-1"}, "--pcu-gone takes a number of seconds"},
        {{"--module", "pcu-usb", "--pcu-version", "6 20"}, "--pcu-version takes 1 to 16 printable characters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        QProcess p;
        p.start(tavsimtest::tavsimPath(), QStringList{"--no-tcp", "--no-discovery"} + c.args);
        ASSERT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitCode(), 2);
        EXPECT_TRUE(QString::fromLocal8Bit(p.readAllStandardError()).contains(QLatin1String(c.reason)));
    }
}

} // namespace
