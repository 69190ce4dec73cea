// korrin: the programming terminal for the TAV antenna control unit and the modules behind it.
#include "frmProperties.h"
#include "frmTerminal.h"
#include "Headless.h"

#include "common/Clock.h"
#include "common/Endpoint.h"
#include "common/Profiles.h"
#include "common/SettingsStore.h"
#include "common/gui/Desktop.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace {
// The command-line modes run without a window (and without a display); so do --help and
// --version, which only print (over ssh, say).
bool headlessRun(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help" || a == "-?" || a == "-v" || a == "--version")
            return true;
        for (const char* mode : {"--check", "--upload", "--auto-upload", "--dump", "--dump-pcu"})
            if (a == mode || a.rfind(std::string(mode) + "=", 0) == 0)
                return true;
    }
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    const bool headlessMode = headlessRun(argc, argv);
    std::unique_ptr<QCoreApplication> app = headlessMode ? std::make_unique<QCoreApplication>(argc, argv)
                                                         : std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName("korrin");
    QCoreApplication::setApplicationVersion(PROGRAM_VERSION_TEXT);
    // The desktop entry and icon installed with the program: the shell shows the window under
    // the entry's name and icon.
    if (!headlessMode) {
        QGuiApplication::setDesktopFileName("org.tessaro.korrin");
        QApplication::setWindowIcon(QIcon::fromTheme("org.tessaro.korrin"));
    }

    QCommandLineParser cli;
    cli.setApplicationDescription(
        "Tessaro Program Terminal: a serial/TCP terminal to the antenna control unit and the modules behind it.\n"
        "\n"
        "Without a window, for firmware updates and parameter dumps from a script:\n"
        "  korrin --connect LINK --module CODE --auto-upload FILE [--answer yes|no]\n"
        "  korrin --connect LINK --module CODE --upload FILE\n"
        "  korrin --module CODE --check FILE\n"
        "  korrin --connect LINK --module CODE --dump FILE [--answer yes|no]\n"
        "  korrin --connect LINK --module CODE --dump-pcu FILE [--answer yes|no]\n"
        "The screen's text goes to standard output as it comes; each question is printed with the\n"
        "answer given (--answer, default no); SIGINT or SIGTERM cancels as the Cancel button does.\n"
        "Every upload is added to $XDG_DATA_HOME/tessaro/uploads.csv.\n"
        "Exit status: 0 complete (--auto-upload: the module reported success; --upload: the file was\n"
        "sent; --check: the file passed; --dump, --dump-pcu: the file was written), 2 bad usage,\n"
        "3 file refused (a dump: the file exists and --answer is no), 4 handshake failed (or the\n"
        "link did not open), 5 erase failed, 6 transfer errors, 7 cancelled (or the link was lost;\n"
        "a dump file then ends with 'Parameter Dump Canceled), 8 no auto upload for this module path\n"
        "in this version, 9 the dump file could not be created or written.");
    cli.addHelpOption();
    cli.addVersionOption();
    QCommandLineOption connectOpt("connect",
                                  "Use this link for this run only, without changing the stored settings: "
                                  "tcp:HOST:PORT or serial:DEVICE[:SETTINGS].",
                                  "link");
    QCommandLineOption shotOpt("screenshot", "Write a picture of the window to FILE after --quit-after, then exit.",
                               "file");
    QCommandLineOption quitOpt("quit-after", "Close the window after SECONDS.", "seconds");
    QCommandLineOption moduleOpt("module",
                                 "The module path for the modes below, by its code (DATA, TAV8a, TAV8p, TAVa, USBpcu, "
                                 "... as stored under Direct).",
                                 "code");
    QCommandLineOption autoOpt("auto-upload", "Run the Auto Upload of the module path with FILE, without a window.",
                               "file");
    QCommandLineOption uploadOpt("upload", "Check FILE and send it as Upload S19 File does, without a window.", "file");
    QCommandLineOption checkOpt("check", "Only check FILE for the module path; print the verdict and its version.",
                                "file");
    QCommandLineOption dumpOpt("dump", "Read every parameter into FILE as the Parameter Dump entries do, without a window.",
                               "file");
    QCommandLineOption dumpPcuOpt("dump-pcu", "Read the PCU's parameters alone into FILE, without a window.", "file");
    QCommandLineOption answerOpt("answer", "Answer every question box of the modes above: yes or no (default no).",
                                 "yes|no", "no");
    cli.addOption(connectOpt);
    cli.addOption(shotOpt);
    cli.addOption(quitOpt);
    for (auto* o : {&moduleOpt, &autoOpt, &uploadOpt, &checkOpt, &dumpOpt, &dumpPcuOpt, &answerOpt})
        cli.addOption(*o);
    cli.process(*app);

    std::optional<common::Endpoint> endpoint;
    if (cli.isSet(connectOpt)) {
        std::string err;
        endpoint = common::parseEndpoint(cli.value(connectOpt).toStdString(), err);
        if (!endpoint) {
            std::fprintf(stderr, "korrin: %s\n", err.c_str());
            return 2;
        }
    }

    // A second copy started while the first runs keeps its own settings.
    common::InstanceLock lock;
    common::SettingsStore store(lock.appName());
    common::QtClock clock;

    if (headlessMode) {
        headless::Options o;
        const int modes = int(cli.isSet(autoOpt)) + int(cli.isSet(uploadOpt)) + int(cli.isSet(checkOpt))
                          + int(cli.isSet(dumpOpt)) + int(cli.isSet(dumpPcuOpt));
        const QString answer = cli.value(answerOpt).toLower();
        if (modes != 1 || !cli.isSet(moduleOpt) || (answer != "yes" && answer != "no")) {
            std::fprintf(stderr, "korrin: give one of --auto-upload, --upload, --check, --dump, --dump-pcu with --module CODE "
                                 "(and --answer yes or no); see --help\n");
            return headless::kBadUsage;
        }
        o.mode = cli.isSet(checkOpt)     ? headless::Mode::Check
                 : cli.isSet(uploadOpt)  ? headless::Mode::Upload
                 : cli.isSet(dumpOpt)    ? headless::Mode::Dump
                 : cli.isSet(dumpPcuOpt) ? headless::Mode::DumpPcu
                                         : headless::Mode::AutoUpload;
        const QCommandLineOption& fileOpt = cli.isSet(checkOpt)     ? checkOpt
                                            : cli.isSet(uploadOpt)  ? uploadOpt
                                            : cli.isSet(dumpOpt)    ? dumpOpt
                                            : cli.isSet(dumpPcuOpt) ? dumpPcuOpt
                                                                    : autoOpt;
        o.file = cli.value(fileOpt).toStdString();
        o.moduleCode = cli.value(moduleOpt).toStdString();
        o.answerYes = answer == "yes";
        o.endpoint = endpoint;
        return headless::run(o, store, clock);
    }
    frmTerminal w(clock, store, [](const term::Terminal& t) -> std::unique_ptr<common::Link> {
        if (t.serial)
            return std::make_unique<common::SerialLink>(t.devicePath, t.settings, t.handshaking);
        return std::make_unique<common::TcpLink>(t.aAddress, t.nPort);
    }, lock.copy());
    w.onProperties = [&w] {
        frmProperties dlg(w, [&w] { return w.modulePaths().tcpAllowed(); }, &w);
        dlg.exec();
    };

    bool quitting = false;
    if (cli.isSet(quitOpt) || cli.isSet(shotOpt)) {
        bool ok = true;
        const double secs = cli.isSet(quitOpt) ? cli.value(quitOpt).toDouble(&ok) : 5.0;
        if (!ok || secs < 0) {
            std::fprintf(stderr, "korrin: --quit-after needs a number of seconds\n");
            return 2;
        }
        quitAfter(w, int(secs * 1000), cli.value(shotOpt), "korrin", nullptr, &quitting);
    }

    if (endpoint) {
        // This run's link: the stored settings are read as usual, then the link is replaced.
        w.Form_LoadWith(*endpoint);
    } else {
        w.Form_Load();
    }
    if (quitting)
        return 0; // the run ended during start-up (a message box was waiting)
    return app->exec();
}
