// korrin: the programming terminal for the TAV antenna control unit and the modules behind it.
#include "frmProperties.h"
#include "frmTerminal.h"

#include "common/Clock.h"
#include "common/Endpoint.h"
#include "common/Profiles.h"
#include "common/SettingsStore.h"
#include "common/gui/Desktop.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <cstdio>
#include <optional>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("korrin");
    QApplication::setApplicationVersion(PROGRAM_VERSION);

    QCommandLineParser cli;
    cli.setApplicationDescription("Tessaro Program Terminal: a serial/TCP terminal to the antenna control unit "
                                  "and the modules behind it.");
    cli.addHelpOption();
    cli.addVersionOption();
    QCommandLineOption connectOpt("connect",
                                  "Use this link for this run only, without changing the stored settings: "
                                  "tcp:HOST:PORT or serial:DEVICE[:SETTINGS].",
                                  "link");
    QCommandLineOption shotOpt("screenshot", "Write a picture of the window to FILE after --quit-after, then exit.",
                               "file");
    QCommandLineOption quitOpt("quit-after", "Close the window after SECONDS.", "seconds");
    cli.addOption(connectOpt);
    cli.addOption(shotOpt);
    cli.addOption(quitOpt);
    cli.process(app);

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
    return app.exec();
}
