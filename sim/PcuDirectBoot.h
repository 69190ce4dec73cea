#pragma once
// The units the terminal programs over their own port, without the ACU:
//   - "pcu-usb" and "pcu-service": the PCU on its USB port (USB to G2 PCU) or on its service
//     port (Service Port to PCU);
//   - "mde-usb": the motor driver on its USB port (USB to G2 MDE);
//   - "brine-boot": the Brine PCU on its own port (Brine PCU Direct).
// Each has an application and a bootloader; the setup, the faults and the memory are those of
// sim/PcuBoot.h.
//
// PCU and motor driver: every line ends at CR or LF. The application answers its version
// ("?V": "PCU VER 7.05"; "*": "MDB V2.04") and starts the bootloader ("^0080" / "]0080"), which
// says who it is 300 ms later ("PCU USB Bootloader V1.30", "PCU Service Port Bootloader V1.30",
// "MDB USB Bootloader V1.10"). The bootloader erases ("^0578" / "]0578": "ERASING..." at once,
// "*" 400 ms later) and takes the image one S-record a line: each line comes back as it was sent
// (the echo the service-port transfer waits for), a refused record is followed by "ERR", and the
// end record by "Ok" (or "Fail" after a refused record). Then the unit restarts into its
// application; on USB its device goes away meanwhile (goneFor) and comes back.
//
// Brine PCU: "^" and four characters are one command, with no line end ("^0578" erases, "^0080"
// starts the bootloader); every other line ends at CR or LF. Its application hands over to the
// bootloader for the erase. Records are taken in silence; a refused one is answered "-", the end
// record "LOAD OK" (or "LOAD FAIL").
#include "sim/PcuBoot.h"

namespace sim {

class PcuDirectBoot : public UnitBoot {
public:
    enum class Kind { PcuUsb, PcuService, MdeUsb };

    static constexpr const char* pcuDefaultVersion = "7.05";
    static constexpr const char* mdeDefaultVersion = "2.04";
    static constexpr const char* pcuUsbBanner = "PCU USB Bootloader V1.30";
    static constexpr const char* pcuServiceBanner = "PCU Service Port Bootloader V1.30";
    static constexpr const char* mdeUsbBanner = "MDB USB Bootloader V1.10";
    static constexpr const char* erasing = "ERASING...";
    static constexpr const char* eraseDone = "*";
    static constexpr const char* eraseFailed = "FAIL";
    static constexpr const char* refused = "ERR";
    static constexpr const char* ok = "Ok";
    static constexpr const char* failed = "Fail";
    static constexpr const char* doneWithoutOk = "Done"; // the end record with setup().noOk
    static constexpr const char* unknown = "?";

    explicit PcuDirectBoot(Kind kind);

    void configure(UnitSetup s) override;
    bool linkDropDue() const override;

    Kind kind() const { return kind_; }
    bool usb() const { return kind_ != Kind::PcuService; }
    // The unit's port can be opened: not while a USB unit restarts after an update.
    bool present() const { return !goneSince_ || now_ >= goneUntil_; }
    // Times the USB device went away.
    int restarts() const { return restarts_; }

protected:
    void handle(const Received& r) override;
    void tick() override;
    bool keeps(const Received& r) const override;

private:
    enum class Pending { None, ToBootloader, ToApplication, EraseDone };
    void schedule(Pending what, Ms after);
    const char* banner() const;

    Kind kind_;
    DelayedStep<Pending> pending_;
    bool goneSince_ = false;
    Ms goneUntil_{0};
    int restarts_ = 0;
};

class BrineBoot : public UnitBoot {
public:
    static constexpr const char* defaultVersion = "4.12";
    static constexpr const char* banner = "BRINE PCU BOOT V1.00";
    static constexpr const char* erasing = "ERASING...";
    static constexpr const char* eraseDone = "*";
    static constexpr const char* eraseFailed = "FAIL";
    static constexpr const char* refused = "-";
    static constexpr const char* loadOk = "LOAD OK";
    static constexpr const char* loadFailed = "LOAD FAIL";
    static constexpr const char* versionAnswer = "BRINE PCU VER "; // + version, to "V" CR LF

    BrineBoot();

    void configure(UnitSetup s) override;
    void receive(const std::string& bytes) override;

    // The "^" commands received, oldest first (the last 64).
    const std::vector<std::string>& commands() const { return commands_; }

protected:
    void handle(const Received& r) override;
    void tick() override;

private:
    enum class Pending { None, ToBootloader, ToApplication, EraseDone };
    void command(const std::string& cmd);
    void schedule(Pending what, Ms after);

    std::string caret_; // a "^" command being received
    std::vector<std::string> commands_;
    DelayedStep<Pending> pending_;
};

} // namespace sim
