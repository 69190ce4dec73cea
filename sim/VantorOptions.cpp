#include "sim/VantorOptions.h"

#include "sim/OrlaBoot.h"
#include "sim/SlcdBoot.h"
#include "sim/VantorBoot.h"

#include <QStringList>

#include <fstream>
#include <memory>
#include <optional>
#include <string_view>

namespace tavsim {

namespace {

QString joined(const std::vector<std::string_view>& names)
{
    QStringList l;
    for (const auto n : names)
        l << QString::fromLatin1(n.data(), static_cast<qsizetype>(n.size()));
    return l.join(QStringLiteral(", "));
}

QString name(const QCommandLineOption& o) { return o.names().constFirst(); }

// A whole number from 0 up.
bool count(const QCommandLineParser& p, const QCommandLineOption& o, int& out, QString& error)
{
    bool ok = false;
    out = p.value(o).toInt(&ok);
    if (ok && out >= 0)
        return true;
    error = QStringLiteral("--%1 takes a whole number, not \"%2\"").arg(name(o), p.value(o));
    return false;
}

// Seconds above 0, as milliseconds.
bool seconds(const QCommandLineParser& p, const QCommandLineOption& o, sim::Ms& out, QString& error)
{
    bool ok = false;
    const double s = p.value(o).toDouble(&ok);
    if (ok && s > 0 && s <= 1e6) {
        out = sim::Ms{static_cast<long long>(s * 1000.0 + 0.5)};
        return true;
    }
    error = QStringLiteral("--%1 takes a number of seconds above 0").arg(name(o));
    return false;
}

// One of a module's named states.
template <class T>
bool pick(const QCommandLineParser& p, const QCommandLineOption& o, std::optional<T> (*named)(std::string_view),
          const std::vector<std::string_view>& names, T& out, QString& error)
{
    if (!p.isSet(o))
        return true;
    const std::string v = p.value(o).toStdString();
    if (const auto s = named(v)) {
        out = *s;
        return true;
    }
    error = QStringLiteral("--%1 \"%2\" is not one of %3").arg(name(o), p.value(o), joined(names));
    return false;
}

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

QCommandLineOption option(const char* n, const char* text, const char* value = nullptr)
{
    return value ? QCommandLineOption(QString::fromLatin1(n), QString::fromLatin1(text), QString::fromLatin1(value))
                 : QCommandLineOption(QString::fromLatin1(n), QString::fromLatin1(text));
}

} // namespace

VantorOptions::VantorOptions(QCommandLineParser& parser)
    : p_(parser),
      vantorStart_(option("vantor-start", "vantor-boot: start as STATE: application, bootloader, silent. Default application.", "STATE")),
      vantorBootFailures_(option("vantor-boot-failures", "vantor-boot: the first N \"^BL\" bring the application back, not the bootloader.", "N")),
      vantorBootTime_(option("vantor-boot-time", "vantor-boot: the USB port is gone SECONDS after \"^BL\". Default 1.", "SECONDS")),
      vantorRefuseErase_(option("vantor-refuse-erase", "vantor-boot: the erase fails (\"ERASE FAIL\").")),
      vantorImage_(option("vantor-image", "vantor-boot: write the records taken, one a line ended by CR LF, to FILE at each end record.", "FILE")),
      orlaStream_(option("orla-stream", "orla-boot: the Vantor's telemetry: streaming (\"$\" stops it), quiet, endless (\"$\" does not stop it). Default streaming.", "MODE")),
      orlaStart_(option("orla-start", "orla-boot: the PCU starts as STATE: application, bootloader, deaf (never takes \"^B\"). Default application.", "STATE")),
      orlaBootFailures_(option("orla-boot-failures", "orla-boot: the first N \"^B\" are not taken.", "N")),
      orlaErase_(option("orla-erase", "orla-boot: the erase's outcome: ok, fail (\"FAIL\" instead of \"OK\"), silent. Default ok.", "RESULT")),
      orlaSilentAfter_(option("orla-silent-after", "orla-boot: answer nothing more after the Nth record of an image.", "N")),
      orlaBadCrc_(option("orla-bad-crc", "orla-boot: end every image with \"CRC is BAD\".")),
      orlaImage_(option("orla-image", "orla-boot: write the records taken, one a line ended by CR LF, to FILE at each end record.", "FILE")),
      slcdSilentLink_(option("slcd-silent-link", "slcd: the link check \"^478\" is not answered.")),
      slcdRefuseErase_(option("slcd-refuse-erase", "slcd: the erase fails (\"ERASE FAIL\" instead of \"*\").")),
      slcdSilentAfterBlock_(option("slcd-silent-after-block", "slcd: the Nth block of the image and what follows are not answered.", "N")),
      slcdUpdate_(option("slcd-update", "slcd: the firmware update after the last block: completes (\"*\"), endless (\".\" for ever), silent. Default completes.", "MODE")),
      slcdImage_(option("slcd-image", "slcd: write the image's bytes to FILE when the last one has come.", "FILE"))
{
    groups_ = {
        {"vantor-boot", {&vantorStart_, &vantorBootFailures_, &vantorBootTime_, &vantorRefuseErase_, &vantorImage_}},
        {"orla-boot", {&orlaStream_, &orlaStart_, &orlaBootFailures_, &orlaErase_, &orlaSilentAfter_, &orlaBadCrc_, &orlaImage_}},
        {"slcd", {&slcdSilentLink_, &slcdRefuseErase_, &slcdSilentAfterBlock_, &slcdUpdate_, &slcdImage_}},
    };
    for (const auto& g : groups_)
        for (const QCommandLineOption* o : g.options)
            p_.addOption(*o);
}

bool VantorOptions::apply(const QString& module, sim::ServerOptions& options, QString& error) const
{
    for (const auto& g : groups_) {
        if (module == QLatin1String(g.module))
            continue;
        for (const QCommandLineOption* o : g.options)
            if (p_.isSet(*o)) {
                error = QStringLiteral("--%1 applies to --module %2 only").arg(name(*o), QLatin1String(g.module));
                return false;
            }
    }
    if (module == QLatin1String("vantor-boot"))
        return applyVantor(options, error);
    if (module == QLatin1String("orla-boot"))
        return applyOrla(options, error);
    if (module == QLatin1String("slcd"))
        return applySlcd(options, error);
    return true;
}

bool VantorOptions::applyVantor(sim::ServerOptions& options, QString& error) const
{
    auto vantor = std::make_shared<sim::VantorBoot>();
    sim::VantorBoot::Start start = sim::VantorBoot::Start::Application;
    if (!pick(p_, vantorStart_, &sim::VantorBoot::startNamed, sim::VantorBoot::startNames(), start, error))
        return false;
    vantor->setStart(start);
    auto& f = vantor->faults();
    if (p_.isSet(vantorBootFailures_) && !count(p_, vantorBootFailures_, f.bootFailures, error))
        return false;
    if (p_.isSet(vantorBootTime_) && !seconds(p_, vantorBootTime_, f.bootTime, error))
        return false;
    f.refuseErase = p_.isSet(vantorRefuseErase_);
    if (p_.isSet(vantorImage_))
        vantor->onEnd = [file = p_.value(vantorImage_).toStdString()](const sim::VantorBoot& v) {
            writeFile(file, v.image().text());
        };
    // One module for the program's run: its USB port goes away and comes back as a new
    // pseudo-terminal, with the module as it was.
    options.linkDevice = sim::vantorUsbLinks(vantor, options.faults.dropLinkAfter);
    return true;
}

bool VantorOptions::applyOrla(sim::ServerOptions& options, QString& error) const
{
    struct Setup {
        sim::OrlaBoot::Stream stream = sim::OrlaBoot::Stream::Streaming;
        sim::OrlaBoot::Start start = sim::OrlaBoot::Start::Application;
        sim::OrlaBoot::Faults faults;
        std::string image;
    } s;
    if (!pick(p_, orlaStream_, &sim::OrlaBoot::streamNamed, sim::OrlaBoot::streamNames(), s.stream, error)
        || !pick(p_, orlaStart_, &sim::OrlaBoot::startNamed, sim::OrlaBoot::startNames(), s.start, error)
        || !pick(p_, orlaErase_, &sim::OrlaBoot::eraseFaultNamed, sim::OrlaBoot::eraseFaultNames(), s.faults.erase, error))
        return false;
    if (p_.isSet(orlaBootFailures_) && !count(p_, orlaBootFailures_, s.faults.bootFailures, error))
        return false;
    if (p_.isSet(orlaSilentAfter_) && !count(p_, orlaSilentAfter_, s.faults.silentAfterRecords, error))
        return false;
    s.faults.badCrc = p_.isSet(orlaBadCrc_);
    s.image = p_.value(orlaImage_).toStdString();
    auto made = options.linkDevice;
    options.linkDevice = [made, s](sim::AcuDevice& shared) {
        std::unique_ptr<sim::LinkDevice> d = made(shared);
        if (auto* orla = dynamic_cast<sim::OrlaBoot*>(d.get())) {
            orla->setStream(s.stream);
            orla->setStart(s.start);
            orla->faults() = s.faults;
            if (!s.image.empty())
                orla->onEnd = [file = s.image](const sim::OrlaBoot& o) { writeFile(file, o.image().text()); };
        }
        return d;
    };
    return true;
}

bool VantorOptions::applySlcd(sim::ServerOptions& options, QString& error) const
{
    struct Setup {
        sim::SlcdBoot::Faults faults;
        std::string image;
    } s;
    s.faults.silentLink = p_.isSet(slcdSilentLink_);
    s.faults.refuseErase = p_.isSet(slcdRefuseErase_);
    if (p_.isSet(slcdSilentAfterBlock_) && !count(p_, slcdSilentAfterBlock_, s.faults.silentAfterBlock, error))
        return false;
    if (!pick(p_, slcdUpdate_, &sim::SlcdBoot::updateNamed, sim::SlcdBoot::updateNames(), s.faults.update, error))
        return false;
    s.image = p_.value(slcdImage_).toStdString();
    auto made = options.linkDevice;
    options.linkDevice = [made, s](sim::AcuDevice& shared) {
        std::unique_ptr<sim::LinkDevice> d = made(shared);
        if (auto* slcd = dynamic_cast<sim::SlcdBoot*>(d.get())) {
            slcd->faults() = s.faults;
            if (!s.image.empty())
                slcd->onImage = [file = s.image](const sim::SlcdBoot& m) { writeFile(file, m.image()); };
        }
        return d;
    };
    return true;
}

} // namespace tavsim
