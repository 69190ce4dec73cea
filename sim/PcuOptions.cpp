#include "sim/PcuOptions.h"

#include "sim/PcuDirectBoot.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <unistd.h>

namespace tavsim {

namespace {

QCommandLineOption option(const char* name, const QString& help, const char* value = nullptr)
{
    return value ? QCommandLineOption(QString::fromLatin1(name), help, QString::fromLatin1(value))
                 : QCommandLineOption(QString::fromLatin1(name), help);
}

QString startNames()
{
    QStringList names;
    for (const auto n : sim::UnitSetup::startNames())
        names << QString::fromLatin1(n.data(), static_cast<qsizetype>(n.size()));
    return names.join(QStringLiteral(", "));
}

void print(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

} // namespace

// The symbolic link that stands for a USB unit's device (see PcuOptions.h).
class UsbDevicePath {
public:
    UsbDevicePath(QString path, sim::Ms gone) : path_(std::move(path)), gone_(gone) {}

    // An existing file that is not a symbolic link is not ours to replace.
    bool usable(QString& error) const
    {
        const QFileInfo info(path_);
        if (info.exists() && !info.isSymLink()) {
            error = QStringLiteral("%1 exists and is not a symbolic link").arg(path_);
            return false;
        }
        return true;
    }
    void opened(const QString& target)
    {
        const int generation = ++generation_;
        if (generation == 1) {
            link(target);
            return;
        }
        QTimer::singleShot(int(gone_.count()), &context_, [this, target, generation] {
            if (generation == generation_)
                link(target);
        });
    }
    void dropped() { remove(); }
    // Only our own link goes: something else may have been put there meanwhile.
    void remove()
    {
        if (target_.isEmpty())
            return;
        const QByteArray link = QFile::encodeName(path_);
        char buf[4096];
        const ssize_t n = ::readlink(link.constData(), buf, sizeof buf - 1);
        if (n > 0 && QByteArray(buf, static_cast<int>(n)) == QFile::encodeName(target_))
            ::unlink(link.constData());
        target_.clear();
    }

private:
    void link(const QString& target)
    {
        const QByteArray link = QFile::encodeName(path_);
        if (QFileInfo(path_).isSymLink())
            ::unlink(link.constData());
        if (::symlink(QFile::encodeName(target).constData(), link.constData()) != 0) {
            std::fprintf(stderr, "tavsim: cannot link %s: %s\n", qPrintable(path_), std::strerror(errno));
            return;
        }
        target_ = target;
        print(QStringLiteral("link: %1 -> %2").arg(path_, target));
    }

    QString path_;
    sim::Ms gone_;
    QString target_;
    int generation_ = 0;
    QObject context_; // pending re-links die with it
};

PcuOptions::PcuOptions(QCommandLineParser& parser)
    : parser_(parser),
      start_(option("pcu-start",
                    QStringLiteral("The PCU family (pcu-boot, mde-boot, modem-boot, pcu-usb, pcu-service, mde-usb, brine-boot): start as STATE: %1. Default application.")
                        .arg(startNames()),
                    "STATE")),
      version_(option("pcu-version", QStringLiteral("PCU family: the version the unit's application reports (e.g. 6.20)."), "TEXT")),
      status_(option("pcu-status-length", QStringLiteral("pcu-boot, mde-boot: the length of the PCU's answer to \"?S\" as the terminal counts it (3 to 40). Default 7."), "N")),
      bootOnTry_(option("pcu-boot-on-try", QStringLiteral("PCU family: the bootloader starts at the Nth start command (0: never). Default 1."), "N")),
      refuseRecord_(option("pcu-refuse-record", QStringLiteral("PCU family: refuse the Nth record of each transfer, good or not."), "N")),
      refuseErase_(option("pcu-refuse-erase", QStringLiteral("PCU family: every erase fails."))),
      silentAfter_(option("pcu-silent-after", QStringLiteral("PCU family: answer nothing more after the Nth record of a transfer."), "N")),
      noOk_(option("pcu-no-ok", QStringLiteral("pcu-usb, pcu-service, mde-usb: the end record is answered without \"Ok\"."))),
      gone_(option("pcu-gone", QStringLiteral("pcu-usb, mde-usb: SECONDS the USB device is away while the unit restarts after an update. Default 3."), "SECONDS")),
      image_(option("pcu-image", QStringLiteral("PCU family: write the unit's 64 KiB memory to FILE each time a transfer's end record is taken."), "FILE"))
{
    for (const QCommandLineOption* o :
         {&start_, &version_, &status_, &bootOnTry_, &refuseRecord_, &refuseErase_, &silentAfter_, &noOk_, &gone_, &image_})
        parser_.addOption(*o);
}

PcuOptions::~PcuOptions() = default;

const QStringList& PcuOptions::modules()
{
    static const QStringList m = {QStringLiteral("pcu-boot"),    QStringLiteral("mde-boot"),
                                  QStringLiteral("modem-boot"),  QStringLiteral("pcu-usb"),
                                  QStringLiteral("pcu-service"), QStringLiteral("mde-usb"),
                                  QStringLiteral("brine-boot")};
    return m;
}

bool PcuOptions::isUsbModule(const QString& module)
{
    return module == QLatin1String("pcu-usb") || module == QLatin1String("mde-usb");
}

bool PcuOptions::apply(const QString& module, sim::ServerOptions& options, QString& error)
{
    const QList<const QCommandLineOption*> all = {&start_,       &version_,     &status_,      &bootOnTry_, &refuseRecord_,
                                                  &refuseErase_, &silentAfter_, &noOk_,        &gone_,      &image_};
    if (!modules().contains(module)) {
        for (const QCommandLineOption* o : all)
            if (parser_.isSet(*o)) {
                error = QStringLiteral("--%1 applies to --module %2 only").arg(o->names().constFirst(), modules().join(QStringLiteral(", ")));
                return false;
            }
        return true;
    }
    auto number = [&](const QCommandLineOption& o, int low, int high, int& out) {
        if (!parser_.isSet(o))
            return true;
        bool ok = false;
        const int v = parser_.value(o).toInt(&ok);
        if (!ok || v < low || v > high) {
            error = QStringLiteral("--%1 takes a whole number from %2 to %3, not \"%4\"")
                        .arg(o.names().constFirst()).arg(low).arg(high).arg(parser_.value(o));
            return false;
        }
        out = v;
        return true;
    };
    if (parser_.isSet(start_)) {
        const auto s = sim::UnitSetup::startNamed(parser_.value(start_).toStdString());
        if (!s) {
            error = QStringLiteral("--pcu-start \"%1\" is not one of %2").arg(parser_.value(start_), startNames());
            return false;
        }
        setup_.start = *s;
    }
    if (parser_.isSet(version_)) {
        const QString v = parser_.value(version_);
        const bool printable = std::all_of(v.cbegin(), v.cend(), [](QChar c) { return c.unicode() > 32 && c.unicode() < 127; });
        if (v.isEmpty() || v.size() > 16 || !printable) {
            error = QStringLiteral("--pcu-version takes 1 to 16 printable characters without blanks, e.g. 6.20");
            return false;
        }
        setup_.version = v.toStdString();
    }
    if (!number(status_, 3, sim::UnitBoot::maxStatusLength, setup_.statusLength)
        || !number(bootOnTry_, 0, 1000000, setup_.bootOnTry) || !number(refuseRecord_, 0, 1000000, setup_.refuseRecord)
        || !number(silentAfter_, 0, 1000000, setup_.silentAfterRecords))
        return false;
    setup_.refuseErase = parser_.isSet(refuseErase_);
    setup_.noOk = parser_.isSet(noOk_);
    if (parser_.isSet(gone_)) {
        bool ok = false;
        const double s = parser_.value(gone_).toDouble(&ok);
        if (!ok || s < 0 || s > 1e5) {
            error = QStringLiteral("--pcu-gone takes a number of seconds from 0 to 100000");
            return false;
        }
        setup_.goneFor = sim::Ms{static_cast<long long>(s * 1000.0 + 0.5)};
    }
    if (parser_.isSet(image_)) {
        setup_.onEnd = [file = parser_.value(image_).toStdString()](const sim::BootMemory& mem) {
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(mem.memory().data()), std::streamsize(mem.memory().size()));
        };
    }

    // Every new link's module in the start state, with the faults (after whatever the links
    // were set up with so far, e.g. the link drop).
    options.linkDevice = [inner = options.linkDevice, setup = setup_](sim::AcuDevice& shared) {
        std::unique_ptr<sim::LinkDevice> d = inner(shared);
        if (auto* unit = dynamic_cast<sim::UnitBoot*>(d.get()))
            unit->configure(setup);
        return d;
    };
    if (isUsbModule(module) && !options.linkPath.isEmpty()) {
        usbPath_ = std::make_unique<UsbDevicePath>(options.linkPath, setup_.goneFor);
        if (!usbPath_->usable(error))
            return false;
        options.linkPath.clear(); // the server makes no link of its own: this one follows the unit
    }
    return true;
}

void PcuOptions::attach(sim::SimServer& server)
{
    if (!usbPath_)
        return;
    UsbDevicePath* path = usbPath_.get();
    QObject::connect(&server, &sim::SimServer::ptyOpened, &server, [path](const QString& pty) { path->opened(pty); });
    QObject::connect(&server, &sim::SimServer::linkDropped, &server, [path](const QString& which) {
        if (which == QLatin1String("pty"))
            path->dropped();
    });
}

void PcuOptions::detach()
{
    if (usbPath_)
        usbPath_->remove();
}

} // namespace tavsim
