#pragma once
// tavsim's options for the bootloaders of the PCU, the motor driver, the modems and the Brine
// PCU ("--pcu-..."), and the USB device path that goes away while such a unit restarts.
//
// With --link PATH and a USB unit (pcu-usb, mde-usb), PATH stands for the unit's USB device:
// when the unit restarts after an update the pseudo-terminal is replaced (as any dropped link),
// PATH is removed at once and made again, to the new pseudo-terminal, --pcu-gone seconds later;
// so the terminal finds the device gone and back under the same name.
#include "sim/PcuBoot.h"
#include "sim/SimServer.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace tavsim {

class UsbDevicePath;

class PcuOptions {
public:
    // Adds the options to the parser.
    explicit PcuOptions(QCommandLineParser& parser);
    ~PcuOptions();

    // The modules these options belong to.
    static const QStringList& modules();
    static bool isUsbModule(const QString& module);

    // After parsing: with one of the modules, every new link's module is set up from the
    // options, and a USB unit's --link is taken over (see attach()); with any other module
    // (or none) an option given is an error. False with the message.
    bool apply(const QString& module, sim::ServerOptions& options, QString& error);
    // Once the server exists: the USB device path follows its pseudo-terminals.
    void attach(sim::SimServer& server);
    // At exit: the USB device path goes (only if it still points at ours).
    void detach();

    const sim::UnitSetup& setup() const { return setup_; }

private:
    QCommandLineParser& parser_;
    QCommandLineOption start_, version_, status_, bootOnTry_, refuseRecord_, refuseErase_, silentAfter_, noOk_,
        gone_, image_;
    sim::UnitSetup setup_;
    std::unique_ptr<UsbDevicePath> usbPath_;
};

} // namespace tavsim
