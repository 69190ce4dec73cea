#pragma once
// Module "acu-boot": the ACU as the programming terminal meets it during a firmware upload.
// Three programs answer on the one link:
//   - the communications interface in front of the ACU: "[L" (lock the external ports) and
//     "[Z" (its restart), answered ">" whatever the ACU behind it is doing;
//   - the ACU's application: ESC "S" status, "V" version ("TAV ACU VER 7.12"), ESC "\0080"
//     start the bootloader; every other command as the "acu-terminal" module answers it;
//   - the ACU's bootloader: ESC "S" ("BOOT OK"), "9" restart, "^0578" / "^0577" erase, the
//     S-record transfer in "#" fragments, "\0090" back to the application.
// Answers of the application end with CR LF ">", those of the bootloader with CR LF. A
// restart (either way) takes restartTime, an erase eraseTime; meanwhile the ACU takes nothing
// (the communications interface still answers).
//
// The transfer: each fragment line "#" + characters + CR LF brings characters of the image's
// lines; RecordJoiner joins them into records (from "S", the type digit and the count byte, as
// many hexadecimal pairs as the count says), skipping whatever lies between a record's end
// and the next "S" (a fragment's "00" padding). A good record is taken in silence; a refused
// one (malformed, wrong checksum, before a successful erase, after the end record) is answered
// "-" (one character, no line end). S1 data go into a 64 KiB memory image. The end record (S9,
// S8 or S7) is answered "LOAD OK" (or "LOAD FAIL" when a record was refused since the erase).
//
// Faults, for the terminal's error paths: a start in the bootloader, hung (answers only "9"),
// silent or confused (ESC "S" answered with 10 characters); silence, a "-" or a link drop
// after a given record of the transfer; a refused erase; another version text.
#include "sim/AcuDevice.h"
#include "sim/TerminalAcu.h"
#include "sim/TerminalModule.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Joins characters into S-record texts. A record is "S", a type digit, the count byte (two
// hexadecimal digits) and count hexadecimal pairs (address, data, checksum). Characters
// outside a record are skipped up to the next "S". A character that cannot belong to the
// record being joined breaks it off: the broken piece is handed on as it is (a malformed
// record), and an "S" there starts the next one.
class RecordJoiner {
public:
    // Longest record: "S", type, count, 255 pairs.
    static constexpr std::size_t maxRecordChars = 4 + 2 * 255;

    // Appends each record the characters complete or break off to out.
    void feed(std::string_view chars, std::vector<std::string>& out);
    // Forgets a partly joined record.
    void reset();
    bool inRecord() const { return state_ != State::Idle; }

private:
    enum class State { Idle, Type, Count, Body };
    State state_ = State::Idle;
    std::string text_;
    std::size_t bodyChars_ = 0; // hexadecimal digits still wanted after the count
};

// What the bootloader made of one record.
enum class RecordVerdict {
    Accepted,
    Malformed,     // not "S" + digit + count + count pairs, an unknown type, too short a count
    BadChecksum,   // the checksum is not the ones' complement of the sum of the other bytes
    OutOfRange,    // S1 data running past the 64 KiB memory
    CountMismatch, // an S5 / S6 whose count is not the number of data records taken
    BeforeErase,   // no successful erase since the bootloader started
    AfterEnd,      // the end record has been taken already
    FaultRefused,  // a good record refused on demand (Faults::refuseRecord)
};

struct BootRecord {
    std::string text; // the characters joined, "S1130000..."
    char type = 0;    // '0' .. '9' when readable
    std::uint32_t address = 0;
    std::vector<std::uint8_t> data;
    RecordVerdict verdict = RecordVerdict::Malformed;
    bool accepted() const { return verdict == RecordVerdict::Accepted; }
};

// Reads a joined record into out (text, type, address, data) and judges its form and
// checksum: Accepted, Malformed or BadChecksum.
RecordVerdict readRecord(const std::string& text, BootRecord& out);

class AcuBoot : public TerminalModule {
public:
    enum class Start {
        Application, // the application runs (the normal case)
        Bootloader,  // the bootloader runs already (an upload broken off before)
        Hung,        // the bootloader runs but takes nothing but "9", which restarts it
        Silent,      // nothing answers at all, ever, the communications interface included
        Confused,    // the ACU answers only ESC "S", always with 10 characters
    };
    enum class Mode { Application, Bootloader };

    struct Faults {
        int silentAfterRecords = 0;   // from the end of this record of a transfer on, nothing is answered (0: never)
        int refuseRecord = 0;         // this record of each transfer is answered "-" though good (0: none)
        bool refuseErase = false;     // erases fail: "ERASING...FAIL"
        int dropLinkAfterRecords = 0; // the link drops after this record of a transfer (0: never)
    };

    static constexpr Ms restartTime{300};   // application to bootloader and back, "9"
    static constexpr Ms eraseTime{400};     // "^0578"
    static constexpr Ms bulkEraseTime{900}; // "^0577"
    static constexpr std::size_t memorySize = 65536;
    static constexpr std::size_t maxRecordsKept = 16384;
    static constexpr const char* defaultVersion = "7.12";

    // The answers, without their line ends.
    static constexpr const char* commPrompt = ">";            // "[L", "[Z" (no line end)
    static constexpr const char* bootStatus = "BOOT OK";      // ESC "S" in the bootloader
    static constexpr const char* confusedStatus = "BOOT ERR"; // ESC "S" when confused
    static constexpr const char* bootStarted = "BOOT MODE";   // after ESC "\0080"
    static constexpr const char* bootRestarted = "BOOT RESTART"; // after "9"
    static constexpr const char* bootExit = "BOOT EXIT";      // "\0090" in the bootloader
    static constexpr const char* erasing = "ERASING...";      // at once, no line end
    static constexpr const char* eraseDone = "*";             // after the erase time
    static constexpr const char* eraseFailed = "FAIL";
    static constexpr const char* refused = "-";               // a refused record (no line end)
    static constexpr const char* loadOk = "LOAD OK";          // the end record
    static constexpr const char* loadFailed = "LOAD FAIL";    // the end record after a refusal
    static constexpr const char* unknown = "?";               // a line the bootloader does not know

    // A port of the given device; the device's time is advanced by its owner.
    explicit AcuBoot(AcuDevice& device);

    // Puts the module in that state now, as if it had just been switched on so; a transfer
    // and a pending restart or erase are forgotten (the memory is kept).
    void setStart(Start s);
    // The version the application reports after "TAV ACU VER " (default "7.12").
    void setVersion(std::string version) { version_ = std::move(version); }
    const std::string& version() const { return version_; }
    Faults& faults() { return faults_; }

    std::string terminated(const std::string& line) const override;
    bool linkDropDue() const override;

    Mode mode() const { return mode_; }
    // A restart or an erase is under way.
    bool busy() const { return !pending_.idle(); }
    // Answers nothing (started silent, or silent after a record).
    bool silent() const { return silent_; }
    bool hung() const { return hung_; }
    bool confused() const { return confused_; }

    // The memory the S1 records are written to (0xFF after an erase and at the start).
    const std::vector<std::uint8_t>& memory() const { return memory_; }
    // Records of the transfer since the last successful erase (the first maxRecordsKept).
    const std::vector<BootRecord>& records() const { return records_; }
    int recordsReceived() const { return received_; }
    int recordsAccepted() const { return accepted_; }
    // The end record (S9, S8 or S7) has been taken since the last erase.
    bool endSeen() const { return endSeen_; }
    bool s9Seen() const { return endSeen_ && endType_ == '9'; }
    // Successful erases so far ("^0578" and "^0577").
    int eraseCount() const { return erases_; }
    // Runs when the end record has been taken (e.g. to write the memory out).
    std::function<void(const AcuBoot&)> onEnd;
    // The application, which answers what this module does not answer itself.
    TerminalAcu& application() { return app_; }

    // The start states by name, for the command line: "application", "bootloader", "hung",
    // "silent", "confused".
    static std::optional<Start> startNamed(std::string_view name);
    static const std::vector<std::string_view>& startNames();

protected:
    void handle(const Received& r) override;
    void tick() override;
    // The fragments are kept as records (records()), not in the record of commands.
    bool keeps(const Received& r) const override;

private:
    enum class Pending { None, ToBootloader, BootRestart, ToApplication, Erase, BulkErase };

    void handleApplication(const Received& r);
    void handleBootloader(const Received& r);
    void takeRecord(const std::string& text);
    void beginTransfer();
    void schedule(Pending what, Ms after);

    AcuDevice& device_;
    TerminalAcu app_;
    Faults faults_;
    std::string version_ = defaultVersion;
    Mode mode_ = Mode::Application;
    bool silent_ = false;
    bool hung_ = false;
    bool confused_ = false;
    bool dropDue_ = false;
    DelayedStep<Pending> pending_;

    std::vector<std::uint8_t> memory_ = std::vector<std::uint8_t>(memorySize, 0xFF);
    RecordJoiner joiner_;
    bool erased_ = false;
    bool endSeen_ = false;
    char endType_ = 0;
    bool refusedSinceErase_ = false;
    int received_ = 0;
    int accepted_ = 0;
    int dataRecords_ = 0;
    int erases_ = 0;
    std::vector<BootRecord> records_;
};

} // namespace sim
