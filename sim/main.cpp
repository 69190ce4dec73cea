// tavsim: a simulated Antenna Control Unit served over TCP on loopback and over a
// pseudo-terminal, so the panel and the terminal can be tried without the equipment.
#include "sim/AcuBoot.h"
#include "sim/DiscoveryResponder.h"
#include "sim/Modules.h"
#include "sim/PcuOptions.h"
#include "sim/SimServer.h"
#include "sim/VantorOptions.h"
#include "sim/TerminalAcu.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &c, 1);
}

void say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

[[noreturn]] void fail(const QString& message)
{
    std::fprintf(stderr, "tavsim: %s\n", qPrintable(message));
    std::exit(2);
}

// A number of seconds above 0, as milliseconds.
sim::Ms seconds(const QCommandLineParser& p, const QCommandLineOption& o)
{
    bool ok = false;
    const double s = p.value(o).toDouble(&ok);
    if (!ok || s <= 0 || s > 1e6)
        fail(QStringLiteral("--%1 takes a number of seconds above 0").arg(o.names().constFirst()));
    return sim::Ms{static_cast<long long>(s * 1000.0 + 0.5)};
}

int count(const QCommandLineParser& p, const QCommandLineOption& o)
{
    bool ok = false;
    const int v = p.value(o).toInt(&ok);
    if (!ok || v < 0)
        fail(QStringLiteral("--%1 takes a whole number, not \"%2\"").arg(o.names().constFirst(), p.value(o)));
    return v;
}

// How each acu-boot link starts.
struct BootSetup {
    sim::AcuBoot::Start start = sim::AcuBoot::Start::Application;
    std::string version = sim::AcuBoot::defaultVersion;
    sim::AcuBoot::Faults faults;
    std::string image; // where the memory is written at each end record (empty: nowhere)
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tavsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROGRAM_VERSION_TEXT));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated Antenna Control Unit. Serves the controller over TCP (loopback by default)\n"
        "and over a pseudo-terminal whose path it prints. Prints \"ready\" once it serves."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOpt(QStringLiteral("port"), QStringLiteral("TCP port (0: any free port). Default 2000."), QStringLiteral("N"), QStringLiteral("2000"));
    const QCommandLineOption addressOpt(QStringLiteral("address"), QStringLiteral("Address to listen on. Default 127.0.0.1."), QStringLiteral("ADDR"), QStringLiteral("127.0.0.1"));
    const QCommandLineOption noTcpOpt(QStringLiteral("no-tcp"), QStringLiteral("Do not listen on TCP."));
    const QCommandLineOption noPtyOpt(QStringLiteral("no-pty"), QStringLiteral("Do not open a pseudo-terminal."));
    const QCommandLineOption linkOpt(QStringLiteral("link"), QStringLiteral("Make PATH a symbolic link to the pseudo-terminal (removed at exit)."), QStringLiteral("PATH"));
    const QCommandLineOption delayOpt(QStringLiteral("delay"), QStringLiteral("Send every reply MS milliseconds after its command."), QStringLiteral("MS"), QStringLiteral("0"));
    const QCommandLineOption dropOpt(QStringLiteral("drop-every"), QStringLiteral("Lose every Nth reply."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption garbleOpt(QStringLiteral("garble-every"), QStringLiteral("Garble every Nth reply."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption busyOpt(QStringLiteral("busy-every"), QStringLiteral("Refuse every Nth command with the busy answer ###."), QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption dropLinkOpt(QStringLiteral("drop-link-after"), QStringLiteral("Drop each link SECONDS after it opened (TCP client closed; pseudo-terminal replaced by a new one)."), QStringLiteral("SECONDS"));
    const QCommandLineOption promptOpt(QStringLiteral("prompt"), QStringLiteral("End replies with CR LF and the prompt \">\" instead of CR."));
    const QCommandLineOption calmOpt(QStringLiteral("calm"), QStringLiteral("Calm sea: no ship motion and no noise on the readings."));
    const QCommandLineOption onTargetOpt(QStringLiteral("on-target"), QStringLiteral("Start on the satellite, tracking, instead of powering up (Initializing, then Searching)."));
    const QCommandLineOption errorAfterOpt(QStringLiteral("error-after"), QStringLiteral("Raise an azimuth servo fault SECONDS after start (PCU torque limit, ACU servo limit) until the errors are reset."), QStringLiteral("SECONDS"));
    const QCommandLineOption discoveryPortOpt(QStringLiteral("discovery-port"), QStringLiteral("UDP port that answers the network search on --address; answers go to the sender on N + 3 (0: any free port). Default 3000; when 3000 is taken tavsim runs on without answering."), QStringLiteral("N"), QStringLiteral("3000"));
    const QCommandLineOption noDiscoveryOpt(QStringLiteral("no-discovery"), QStringLiteral("Do not answer the network search."));
    parser.addOptions({portOpt, addressOpt, noTcpOpt, noPtyOpt, linkOpt, delayOpt, dropOpt, garbleOpt, busyOpt,
                       dropLinkOpt, promptOpt, calmOpt, onTargetOpt, errorAfterOpt, discoveryPortOpt, noDiscoveryOpt});
    QStringList moduleNames;
    for (const auto& m : sim::modules())
        moduleNames << QString::fromLatin1(m.name);
    const QCommandLineOption moduleOpt(QStringLiteral("module"), QStringLiteral("Serve the module NAME on every link instead of the panel-facing ACU: %1. See sim/README.md.").arg(moduleNames.join(QStringLiteral(", "))), QStringLiteral("NAME"));
    parser.addOption(moduleOpt);
    QStringList startNames;
    for (const auto n : sim::AcuBoot::startNames())
        startNames << QString::fromLatin1(n.data(), static_cast<qsizetype>(n.size()));
    const QCommandLineOption bootStartOpt(QStringLiteral("boot-start"), QStringLiteral("acu-boot: start as STATE: %1. Default application.").arg(startNames.join(QStringLiteral(", "))), QStringLiteral("STATE"));
    const QCommandLineOption bootVersionOpt(QStringLiteral("boot-version"), QStringLiteral("acu-boot: the application's version after \"TAV ACU VER \". Default %1.").arg(QLatin1String(sim::AcuBoot::defaultVersion)), QStringLiteral("TEXT"));
    const QCommandLineOption bootSilentOpt(QStringLiteral("boot-silent-after"), QStringLiteral("acu-boot: answer nothing more after the Nth record of a transfer."), QStringLiteral("N"));
    const QCommandLineOption bootRefuseRecordOpt(QStringLiteral("boot-refuse-record"), QStringLiteral("acu-boot: answer \"-\" to the Nth record of each transfer, good or not."), QStringLiteral("N"));
    const QCommandLineOption bootRefuseEraseOpt(QStringLiteral("boot-refuse-erase"), QStringLiteral("acu-boot: every erase fails (no \"*\")."));
    const QCommandLineOption bootDropOpt(QStringLiteral("boot-drop-after"), QStringLiteral("acu-boot: drop the link after the Nth record of a transfer."), QStringLiteral("N"));
    const QCommandLineOption bootImageOpt(QStringLiteral("boot-image"), QStringLiteral("acu-boot: write the 64 KiB memory to FILE each time a transfer's end record is taken."), QStringLiteral("FILE"));
    const QList<const QCommandLineOption*> bootOpts = {&bootStartOpt, &bootVersionOpt, &bootSilentOpt, &bootRefuseRecordOpt, &bootRefuseEraseOpt, &bootDropOpt, &bootImageOpt};
    for (const QCommandLineOption* o : bootOpts)
        parser.addOption(*o);
    const tavsim::VantorOptions vantorOptions(parser);
    tavsim::PcuOptions pcuOptions(parser);
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument \"%1\" (see --help)").arg(parser.positionalArguments().constFirst()));

    sim::ServerOptions options;
    options.tcp = !parser.isSet(noTcpOpt);
    options.pty = !parser.isSet(noPtyOpt);
    if (!options.tcp && !options.pty)
        fail(QStringLiteral("--no-tcp and --no-pty leave nothing to serve"));
    const int port = count(parser, portOpt);
    if (port > 65535)
        fail(QStringLiteral("--port must be 0 to 65535"));
    options.port = static_cast<quint16>(port);
    const QString address = parser.value(addressOpt);
    if (address == QLatin1String("localhost"))
        options.address = QHostAddress(QHostAddress::LocalHost);
    else if (!options.address.setAddress(address))
        fail(QStringLiteral("--address \"%1\" is not an IP address").arg(address));
    options.linkPath = parser.value(linkOpt);
    if (!options.linkPath.isEmpty() && !options.pty)
        fail(QStringLiteral("--link needs the pseudo-terminal"));
    options.faults.replyDelay = sim::Ms{count(parser, delayOpt)};
    options.faults.dropEvery = count(parser, dropOpt);
    options.faults.garbleEvery = count(parser, garbleOpt);
    options.faults.busyEvery = count(parser, busyOpt);
    if (parser.isSet(dropLinkOpt))
        options.faults.dropLinkAfter = seconds(parser, dropLinkOpt);
    if (parser.isSet(promptOpt))
        options.lineEnd = sim::LineEnd::CrLfPrompt;
    const QString module = parser.value(moduleOpt);
    if (parser.isSet(moduleOpt)) {
        if (!moduleNames.contains(module))
            fail(QStringLiteral("--module \"%1\" is not one of %2").arg(module, moduleNames.join(QStringLiteral(", "))));
        // The reply faults and the prompt belong to the ACU's panel port; the link drop is
        // the transport's and works for every module.
        // acu-terminal refuses parameter reads with --busy-every as the panel-facing ACU does.
        for (const QCommandLineOption* o : {&delayOpt, &dropOpt, &garbleOpt, &busyOpt, &promptOpt})
            if (parser.isSet(*o) && !(o == &busyOpt && module == QLatin1String("acu-terminal")))
                fail(QStringLiteral("--%1 applies to the panel-facing ACU only, not with --module").arg(o->names().constFirst()));
        // The upload's states and faults belong to acu-boot.
        BootSetup boot;
        if (module == QLatin1String("acu-boot")) {
            if (parser.isSet(bootStartOpt)) {
                const auto s = sim::AcuBoot::startNamed(parser.value(bootStartOpt).toStdString());
                if (!s)
                    fail(QStringLiteral("--boot-start \"%1\" is not one of %2").arg(parser.value(bootStartOpt), startNames.join(QStringLiteral(", "))));
                boot.start = *s;
            }
            if (parser.isSet(bootVersionOpt)) {
                const QString v = parser.value(bootVersionOpt);
                const bool printable = std::all_of(v.cbegin(), v.cend(), [](QChar c) { return c.unicode() >= 32 && c.unicode() < 127; });
                if (v.isEmpty() || v.size() > 16 || !printable)
                    fail(QStringLiteral("--boot-version takes 1 to 16 printable characters, e.g. 6.40"));
                boot.version = v.toStdString();
            }
            if (parser.isSet(bootSilentOpt))
                boot.faults.silentAfterRecords = count(parser, bootSilentOpt);
            if (parser.isSet(bootRefuseRecordOpt))
                boot.faults.refuseRecord = count(parser, bootRefuseRecordOpt);
            boot.faults.refuseErase = parser.isSet(bootRefuseEraseOpt);
            if (parser.isSet(bootDropOpt))
                boot.faults.dropLinkAfterRecords = count(parser, bootDropOpt);
            boot.image = parser.value(bootImageOpt).toStdString();
        }
        options.linkDevice = [name = module.toStdString(), drop = options.faults.dropLinkAfter, boot,
                              busyEvery = options.faults.busyEvery](sim::AcuDevice& shared) {
            std::unique_ptr<sim::TerminalModule> m = sim::makeModule(name, shared);
            m->setDropLinkAfter(drop);
            if (auto* acu = dynamic_cast<sim::TerminalAcu*>(m.get()))
                acu->setBusyEvery(busyEvery);
            if (auto* b = dynamic_cast<sim::AcuBoot*>(m.get())) {
                b->setStart(boot.start);
                b->setVersion(boot.version);
                b->faults() = boot.faults;
                if (!boot.image.empty())
                    b->onEnd = [file = boot.image](const sim::AcuBoot& acu) {
                        std::ofstream out(file, std::ios::binary | std::ios::trunc);
                        out.write(reinterpret_cast<const char*>(acu.memory().data()), std::streamsize(acu.memory().size()));
                    };
            }
            return std::unique_ptr<sim::LinkDevice>(std::move(m));
        };
    }
    if (module != QLatin1String("acu-boot"))
        for (const QCommandLineOption* o : bootOpts)
            if (parser.isSet(*o))
                fail(QStringLiteral("--%1 applies to --module acu-boot only").arg(o->names().constFirst()));
    if (QString error; !vantorOptions.apply(module, options, error))
        fail(error);
    if (QString error; !pcuOptions.apply(module, options, error))
        fail(error);
    sim::DiscoveryOptions discovery;
    discovery.address = options.address;
    const bool answerSearch = !parser.isSet(noDiscoveryOpt);
    if (answerSearch) {
        const int udp = count(parser, discoveryPortOpt);
        if (udp > 65535 - sim::DiscoveryResponder::answerPortOffset)
            fail(QStringLiteral("--discovery-port must be 0 to %1").arg(65535 - sim::DiscoveryResponder::answerPortOffset));
        discovery.port = static_cast<quint16>(udp);
    }

    // SIGINT and SIGTERM end the event loop, so the link is removed on the way out.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        fail(QStringLiteral("cannot set up signal handling"));
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    sim::SimServer server(options);
    pcuOptions.attach(server);
    server.device().setShipMotion(!parser.isSet(calmOpt));
    if (!parser.isSet(onTargetOpt))
        server.device().powerUp();
    if (parser.isSet(errorAfterOpt))
        server.device().scheduleServoFault(seconds(parser, errorAfterOpt));
    QObject::connect(&server, &sim::SimServer::ptyOpened, [&options](const QString& path) {
        say(QStringLiteral("pty: ") + path);
        if (!options.linkPath.isEmpty())
            say(QStringLiteral("link: %1 -> %2").arg(options.linkPath, path));
    });
    QObject::connect(&server, &sim::SimServer::linkDropped, [](const QString& which) {
        say(QStringLiteral("dropped: ") + which);
    });
    QString error;
    if (!server.start(error)) {
        server.stop();
        fail(error);
    }
    if (!module.isEmpty())
        say(QStringLiteral("module: ") + module);
    if (options.tcp)
        say(QStringLiteral("tcp: %1:%2").arg(options.address.toString()).arg(server.tcpPort()));
    sim::DiscoveryResponder responder(discovery);
    if (answerSearch) {
        if (responder.start(error)) {
            say(QStringLiteral("udp: %1:%2").arg(discovery.address.toString()).arg(responder.port()));
        } else if (parser.isSet(discoveryPortOpt)) {
            server.stop();
            fail(error);
        } else {
            // The default port may be held by another copy: the ACU links still serve.
            std::fprintf(stderr, "tavsim: not answering the network search: %s\n", qPrintable(error));
        }
        QObject::connect(&responder, &sim::DiscoveryResponder::answeredRequest,
                         [](const QHostAddress& to, quint16 port) {
                             say(QStringLiteral("discovery: answered %1:%2").arg(to.toString()).arg(port));
                         });
    }
    say(QStringLiteral("ready"));

    const int rc = app.exec();
    responder.stop();
    server.stop();
    pcuOptions.detach();
    say(QStringLiteral("stopped"));
    return rc;
}
