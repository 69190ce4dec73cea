#pragma once
// tavsim's options for the modules updated through the Vantor: --vantor-... (module
// vantor-boot), --orla-... (orla-boot) and --slcd-... (slcd). Each group belongs to its module
// and is refused with any other.
#include "sim/SimServer.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <vector>

namespace tavsim {

class VantorOptions {
public:
    // Adds the options to the parser (before it processes the command line).
    explicit VantorOptions(QCommandLineParser& parser);

    // After the command line was processed, for the module served (empty: none): checks the
    // options and sets the module up on every link (vantor-boot: one module that outlives the
    // pseudo-terminals its USB port goes through). False with the reason on a wrong option.
    bool apply(const QString& module, sim::ServerOptions& options, QString& error) const;

private:
    struct Group {
        const char* module;
        std::vector<const QCommandLineOption*> options;
    };
    bool applyVantor(sim::ServerOptions& options, QString& error) const;
    bool applyOrla(sim::ServerOptions& options, QString& error) const;
    bool applySlcd(sim::ServerOptions& options, QString& error) const;

    QCommandLineParser& p_;
    QCommandLineOption vantorStart_, vantorBootFailures_, vantorBootTime_, vantorRefuseErase_, vantorImage_;
    QCommandLineOption orlaStream_, orlaStart_, orlaBootFailures_, orlaErase_, orlaSilentAfter_, orlaBadCrc_, orlaImage_;
    QCommandLineOption slcdSilentLink_, slcdRefuseErase_, slcdSilentAfterBlock_, slcdUpdate_, slcdImage_;
    std::vector<Group> groups_;
};

} // namespace tavsim
