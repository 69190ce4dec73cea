// velmar: the remote panel of the TAV antenna control unit.
#include "Headless.h"
#include "frmBurn.h"
#include "frmCapture.h"
#include "frmComDiag.h"
#include "frmN7.h"
#include "frmScan.h"
#include "frmLOS.h"
#include "frmMain.h"

#include "common/Clock.h"
#include "common/Endpoint.h"
#include "common/SettingsStore.h"
#include "panel/core/LinkFactory.h"

#include <QApplication>
#include <QDir>
#include <functional>
#include <memory>
#include <optional>
#include <vector>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <QPrinter>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <string>

namespace {
// Protocol bytes for a trace line: control and 8-bit bytes as <nn> in decimal.
std::string printable(const std::string& bytes)
{
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 32 && c < 127)
            out += char(c);
        else
            out += "<" + std::to_string(int(c)) + ">";
    }
    return out;
}
// Shows each family's screen for a few seconds of live polling and saves a picture of it.
void startTour(frmMain& w, const QString& dir)
{
    QDir().mkpath(dir);
    static QString tourDir;
    tourDir = dir;
    struct Stop {
        const char* file;
        std::function<void(frmMain&)> press;
        int ms = 4000; // live polling before the picture
        // The window pictured; the main window when empty.
        std::function<QWidget*(frmMain&)> window = nullptr;
    };
    const auto graphStop = [](const char* file, int mode, int ms) {
        return Stop{file, [mode](frmMain& m) {
                        m.link().setPacing(50);
                        m.graph().mnuGraph_Click(mode);
                    }, ms};
    };
    static const std::vector<Stop> stops = {
        {"antenna.png", [](frmMain&) {}},
        {"ship.png", [](frmMain& m) { m.frontPanel().cmdSHIP_Click(); }},
        {"satellite.png", [](frmMain& m) { m.frontPanel().cmdSAT_Click(); }},
        {"mode-el-trim.png", [](frmMain& m) { m.frontPanel().MenuSelect(132); }},
        // A value that does not fit the El Trim command, typed and confirmed.
        {"entry-refused.png", [](frmMain& m) {
             for (const char c : std::string("70000"))
                 m.frontPanel().Text5_KeyPress(c);
             m.frontPanel().Text5_KeyPress(panel::FrontPanel::kEnter);
         }},
        graphStop("graph-admc.png", panel::kModeAdmc, 12000),
        graphStop("graph-ivc.png", panel::kModeIvc, 12000),
        // The IVC chart saved as screen data (its dump takes a few seconds), then loaded back.
        {"screen-data-saved.png", [](frmMain& m) {
             m.saveDialogHook = [](const std::string&, const std::string&) {
                 return std::optional<std::string>((tourDir + "/capture.csv").toStdString());
             };
             m.questionHook = [](const std::string&) { return true; };
             m.dataFiles().mnuSaveScreen_Click();
         }, 10000},
        {"capture-replay.png", [](frmMain& m) {
             m.openDialogHook = [](const std::string&, const std::string&, const std::string&) {
                 return std::optional<std::string>((tourDir + "/capture.csv").toStdString());
             };
             m.cmdCapture_Click();
             m.capture().mnuLoadDataLog_Click();
         }, 2000},
        {"capture-window.png", [](frmMain&) {}, 500, [](frmMain& m) -> QWidget* { return m.captureWindow(); }},
        {"graph-v.png", [](frmMain& m) {
             m.capture().mnuUnloadDataLog_Click();
             m.captureWindow()->hide();
             m.link().setPacing(50);
             m.graph().mnuGraph_Click(panel::kModeV);
         }, 12000},
        graphStop("graph-w.png", panel::kModeW, 12000),
        graphStop("graph-tc.png", panel::kModeTc, 12000),
        graphStop("graph-spectrum.png", panel::kModeSpectrum, 14000),
        // Circlex on, so the loop errors trace its ring.
        {"graph-xy.png", [](frmMain& m) {
             m.link().setPacing(50);
             m.graph().mnuGraph_Click(panel::kModeXY);
             m.shared().oneShot = "^0067\r\n";
         }, 14000},
        // The line-of-sight window after Calculate.
        {"los-pointing.png", [](frmMain& m) {
             m.mnuLOS_Click();
             m.los()->Command1_Click();
         }, 1000, [](frmMain& m) -> QWidget* { return m.los(); }},
        // The diagnostics window after "? S" and its answer.
        {"comm-diagnostics.png", [](frmMain& m) {
             m.mnuDiag_Click();
             m.comDiag()->logic().cmdRepeat_Click(1);
         }, 3000, [](frmMain& m) -> QWidget* { return m.comDiag(); }},
        {"pattern-scan.png", [](frmMain& m) {
             m.mnuScan_Click();
             m.scanWindow()->cmdDIR_Click(panel::PatternScan::AzUp);
         }, 2500, [](frmMain& m) -> QWidget* { return m.scanWindow(); }},
        {"n7-tool.png", [](frmMain& m) {
             m.scanWindow()->cmdExit_Click();
             m.mnuN7Par_Click();
             m.n7()->Command1_Click();
         }, 2000, [](frmMain& m) -> QWidget* { return m.n7(); }},
        {"burn-in.png", [](frmMain& m) {
             m.mnuN7Par_Click();
             m.mnuBurn_Click();
             m.burn()->Command1_Click();
         }, 5000, [](frmMain& m) -> QWidget* { return m.burn(); }},
        // Print Screen of the IVC graph into a PDF beside the pictures, and the window after it.
        {"print-screen.png", [](frmMain& m) {
             m.burn()->close();
             m.link().setPacing(50);
             m.graph().mnuGraph_Click(panel::kModeIvc);
             // Printed once the chart holds a few seconds of samples.
             QTimer::singleShot(4000, &m, [&m] {
                 QPrinter printer(QPrinter::HighResolution);
                 printer.setOutputFormat(QPrinter::PdfFormat);
                 printer.setOutputFileName(tourDir + "/print-screen.pdf");
                 m.printScreen(printer);
             });
         }, 5000},
    };
    auto step = std::make_shared<std::function<void(size_t)>>();
    *step = [&w, dir, step](size_t i) {
        if (i > 0) {
            const QString file = dir + "/" + stops[i - 1].file;
            QWidget* shown = stops[i - 1].window ? stops[i - 1].window(w) : &w;
            if (shown->grab().save(file))
                std::printf("screenshot: %s\n", qPrintable(file));
            std::fflush(stdout);
        }
        if (i == stops.size()) {
            w.close();
            return;
        }
        stops[i].press(w);
        QTimer::singleShot(stops[i].ms, &w, [step, i] { (*step)(i + 1); });
    };
    QTimer::singleShot(500, &w, [step] { (*step)(0); });
}

// The command-line modes run without a window (and without a display); so do --help and
// --version, which only print (over ssh, say).
bool headlessRun(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "-h" || a == "--help" || a == "-?" || a == "-v" || a == "--version")
            return true;
        for (const char* mode : {"--dump", "--record"})
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
    QCoreApplication::setApplicationName("velmar");
    QCoreApplication::setApplicationVersion(PROGRAM_VERSION_TEXT);
    // The desktop entry and icon installed with the program: the shell shows the window under
    // the entry's name and icon.
    if (!headlessMode) {
        QGuiApplication::setDesktopFileName("org.tessaro.velmar");
        QApplication::setWindowIcon(QIcon::fromTheme("org.tessaro.velmar"));
    }

    QCommandLineParser cli;
    cli.setApplicationDescription(
        "TAV Remote Panel: the antenna control unit's front panel on this PC.\n"
        "\n"
        "Without a window:\n"
        "  velmar [--connect LINK] --dump FILE\n"
        "      the parameter dump (as Tools > Parameter Dump) into FILE;\n"
        "  velmar [--connect LINK] --record FILE [--graph-mode N] [--seconds S]\n"
        "      a data log in graph mode N (0 ADMC, 1 IVC, 2 V, 3 W, 4 TC, 5 Spectrum, 6 Circlex X-Y;\n"
        "      default 0) until S seconds have passed or SIGINT/SIGTERM arrives, then closed with the\n"
        "      parameter dump appended, as Close Data Log does.\n"
        "Without --connect the active stored antenna profile is used; an existing FILE is replaced.\n"
        "Progress and messages go to standard error; every record reaches the disk as it is written.\n"
        "Exit status: 0 done (all 91 dump replies written), 2 bad usage, 3 the link could not be opened\n"
        "or was lost, 4 the controller stopped answering during the dump, 5 the file could not be\n"
        "created or written, 6 cancelled (a signal during the dump; a second signal ends at once).");
    cli.addHelpOption();
    cli.addVersionOption();
    QCommandLineOption connectOpt("connect",
                                  "Use this link for this run only, without changing the stored profiles: "
                                  "tcp:HOST:PORT or serial:DEVICE[:SETTINGS].",
                                  "link");
    QCommandLineOption shotOpt("screenshot", "Write a picture of the main window to FILE after the given time, then exit.",
                               "file");
    QCommandLineOption quitOpt("quit-after", "Close the window after SECONDS.", "seconds");
    QCommandLineOption traceOpt("trace", "Print every command sent and every reply with the command it was matched to.");
    cli.addOption(traceOpt);
    QCommandLineOption tourOpt("tour",
                               "Visit the ANTENNA, SHIP, SATELLITE and a MODE screen and the seven graph modes, "
                               "save a picture of each in DIR, then exit.",
                               "dir");
    cli.addOption(tourOpt);
    QCommandLineOption dumpOpt("dump", "Without a window: write the parameter dump to FILE, then exit.", "file");
    QCommandLineOption recordOpt("record",
                                 "Without a window: log telemetry to FILE until --seconds have passed or a signal "
                                 "arrives, then append the parameter dump and exit.",
                                 "file");
    QCommandLineOption modeOpt("graph-mode", "The graph mode of --record, 0 to 6 (default 0, ADMC).", "n", "0");
    QCommandLineOption secondsOpt("seconds", "How long --record logs (default: until SIGINT or SIGTERM).", "s");
    cli.addOption(connectOpt);
    cli.addOption(shotOpt);
    cli.addOption(quitOpt);
    cli.addOption(dumpOpt);
    cli.addOption(recordOpt);
    cli.addOption(modeOpt);
    cli.addOption(secondsOpt);
    cli.process(*app);

    common::SettingsStore store("multTAVRemote");
    common::QtClock clock;

    std::optional<common::Endpoint> endpoint;
    if (cli.isSet(connectOpt)) {
        std::string err;
        endpoint = common::parseEndpoint(cli.value(connectOpt).toStdString(), err);
        if (!endpoint) {
            std::fprintf(stderr, "velmar: %s\n", err.c_str());
            return 2;
        }
    }

    if (headlessMode) {
        velmarcli::Options o;
        o.endpoint = endpoint;
        o.dumpFile = cli.value(dumpOpt).toStdString();
        o.recordFile = cli.value(recordOpt).toStdString();
        bool okMode = true, okSeconds = true;
        o.graphMode = cli.value(modeOpt).toInt(&okMode);
        if (cli.isSet(secondsOpt))
            o.seconds = cli.value(secondsOpt).toDouble(&okSeconds);
        if (!okMode || !okSeconds) {
            std::fprintf(stderr, "velmar: --graph-mode needs 0 to 6 and --seconds a number of seconds\n");
            return velmarcli::kBadUsage;
        }
        return velmarcli::run(o, store, clock);
    }

    frmMain w(clock, store, panel::makeLinkFactory(&store));
    w.shared().endpoint = endpoint;

    if (cli.isSet(traceOpt)) {
        w.link().onSent = [](const std::string& cmd) {
            std::printf("sent  %s\n", printable(cmd).c_str());
            std::fflush(stdout);
        };
        w.link().onReply = [](const std::string& line, const std::string& cmd) {
            std::printf("reply %-24s for %s\n", printable(line).c_str(), printable(cmd).c_str());
            std::fflush(stdout);
        };
    }

    bool quitting = false;
    if (cli.isSet(quitOpt) || cli.isSet(shotOpt)) {
        bool ok = true;
        const double secs = cli.isSet(quitOpt) ? cli.value(quitOpt).toDouble(&ok) : 5.0;
        if (!ok || secs < 0) {
            std::fprintf(stderr, "velmar: --quit-after needs a number of seconds\n");
            return 2;
        }
        quitAfter(w, int(secs * 1000), cli.value(shotOpt), "velmar", [&w] {
            std::printf("status: %s\n", w.state().status[1].c_str());
            std::fflush(stdout);
        }, &quitting);
    }

    w.Form_Load();
    if (quitting)
        return 0; // the run ended during start-up (a message box was waiting)
    if (cli.isSet(tourOpt))
        startTour(w, cli.value(tourOpt));
    return app->exec();
}
