#pragma once
// Module "slcd": the SLCD display module behind the Vantor's USB port, as "USB to Vantor SLcd"
// updates it from a BIN image. Commands are lines ended by CR or LF (the Vantor passes them
// on); the image comes as raw bytes.
//
//   "^478"          the link check: "SLCD READY" CR LF (Faults::silentLink: nothing)
//   "^479" + digits the image's size in bytes: "SIZE " + the size, CR LF (a size that is not
//                   1 to 16 MiB in decimal: "ERR " + the line)
//   "^378"          the erase: nothing for eraseTime, then "*" (no line end; Faults::refuseErase:
//                   "ERASE FAIL" CR LF). Then every byte that comes is the image: "*" after
//                   each 128 of them and after the last one the size announced
//   the last byte   the firmware update: "." every progressPeriod, and "*" updateTime after the
//                   last byte (Update::Endless: "." for ever; Update::Silent: nothing); then the
//                   commands are taken again
//   any other line  "ERR " + the line
// Faults::silentAfterBlock: from that block of the image on nothing is answered (and nothing
// more taken), as an SLCD that hangs in the middle of its update.
//
// For tests the module keeps the image's bytes as they came (image()), so a test can compare
// them with the file.
#include "sim/TerminalModule.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

class SlcdBoot : public TerminalModule {
public:
    enum class Mode { Command, Erasing, Receiving, Updating, Hung };
    enum class Update { Completes, Endless, Silent };
    struct Faults {
        bool silentLink = false;
        bool refuseErase = false;
        int silentAfterBlock = 0; // 0: never
        Update update = Update::Completes;
    };

    static constexpr Ms eraseTime{3000};
    static constexpr Ms progressPeriod{500};
    static constexpr Ms updateTime{3000};
    static constexpr std::size_t block = 128;
    static constexpr std::uint64_t maxSize = 16u << 20;
    static constexpr const char* linkOk = "SLCD READY";
    static constexpr const char* ack = "*";
    static constexpr const char* eraseFailed = "ERASE FAIL";
    static constexpr const char* progress = ".";

    SlcdBoot();

    Faults& faults() { return faults_; }
    void receive(const std::string& bytes) override;

    Mode mode() const { return mode_; }
    std::uint64_t announcedSize() const { return size_; }
    // The bytes of the image since the erase.
    const std::string& image() const { return image_; }
    int blocksAcknowledged() const { return acks_; }
    int erases() const { return erases_; }
    int updates() const { return updates_; }
    // Runs when the last byte of the image announced has come (e.g. to write it out).
    std::function<void(const SlcdBoot&)> onImage;

    static std::optional<Update> updateNamed(std::string_view name);
    static const std::vector<std::string_view>& updateNames();

protected:
    void handle(const Received& r) override;
    void tick() override;

private:
    void takeImage(char c);

    Faults faults_;
    Mode mode_ = Mode::Command;
    std::string line_;
    bool lineOver_ = false;
    std::uint64_t size_ = 0;
    std::string image_;
    int acks_ = 0;
    int erases_ = 0;
    int updates_ = 0;
    Ms due_{0};
    Ms nextProgress_{0};
};

} // namespace sim
