// velmar: the remote panel of the TAV antenna control unit.
#include "frmMain.h"

#include "common/Clock.h"
#include "common/Endpoint.h"
#include "common/SettingsStore.h"
#include "panel/core/LinkFactory.h"

#include <QApplication>
#include <QDir>
#include <functional>
#include <memory>
#include <vector>
#include <QCommandLineParser>
#include <QFile>
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
    struct Stop {
        const char* file;
        std::function<void(frmMain&)> press;
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
    };
    auto step = std::make_shared<std::function<void(size_t)>>();
    *step = [&w, dir, step](size_t i) {
        if (i > 0) {
            const QString file = dir + "/" + stops[i - 1].file;
            if (w.grab().save(file))
                std::printf("screenshot: %s\n", qPrintable(file));
            std::fflush(stdout);
        }
        if (i == stops.size()) {
            w.close();
            return;
        }
        stops[i].press(w);
        QTimer::singleShot(4000, &w, [step, i] { (*step)(i + 1); });
    };
    QTimer::singleShot(500, &w, [step] { (*step)(0); });
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("velmar");
    QApplication::setApplicationVersion(PROGRAM_VERSION);

    QCommandLineParser cli;
    cli.setApplicationDescription("TAV Remote Panel: the antenna control unit's front panel on this PC.");
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
                               "Visit the ANTENNA, SHIP, SATELLITE and a MODE screen, save a picture of each "
                               "in DIR, then exit.",
                               "dir");
    cli.addOption(tourOpt);
    cli.addOption(connectOpt);
    cli.addOption(shotOpt);
    cli.addOption(quitOpt);
    cli.process(app);

    common::SettingsStore store("multTAVRemote");
    common::QtClock clock;
    frmMain w(clock, store, panel::makeLinkFactory(&store));

    if (cli.isSet(connectOpt)) {
        std::string err;
        auto e = common::parseEndpoint(cli.value(connectOpt).toStdString(), err);
        if (!e) {
            std::fprintf(stderr, "velmar: %s\n", err.c_str());
            return 2;
        }
        w.shared().endpoint = *e;
    }

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
    return app.exec();
}
