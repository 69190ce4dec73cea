// Upload benchmark: a 64 KiB image sent to the simulated ACU bootloader over a pseudo-terminal
// at 9600,N,8,1 whose far end reads one character each 10 / 9600 s, as a real line empties.
// For the transfer alone (File > Upload S19 File) and for the whole auto upload, it prints the
// wall time against its floor (every character's line time plus every settle and pause the
// path prescribes) and the CPU the terminal's thread used.
//
//   upload_bench [KiB [transfer|whole]]   (default 64 KiB, both runs; each takes about ten minutes at 64)
#include "BenchSupport.h"

#include "common/Link.h"
#include "sim/AcuBoot.h"
#include "sim/Modules.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/core/TextSender.h"
#include "terminal/upload/AutoUpload.h"
#include "terminal/upload/SRecord.h"
#include "terminal/upload/UploadEngine.h"

#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

using Steady = std::chrono::steady_clock;
constexpr double kCharMs = 10.0 * 1000.0 / 9600.0;

// An ACU image of `kib` KiB in 16-byte records (addresses wrap below 0xF000), its version text
// in the last data record, its end record at 0xF003.
std::vector<std::string> image(int kib)
{
    std::vector<std::string> lines = {"S00600004844521B"};
    const int records = kib * 64;
    for (int r = 0; r < records - 1; ++r) {
        std::vector<std::uint8_t> data(16);
        for (int i = 0; i < 16; ++i)
            data[size_t(i)] = std::uint8_t(r + i * 31);
        if (r == records - 2) { // written last, so no later record lands on it
            const std::string v = "TAV VER 7.20 ";
            std::copy(v.begin(), v.end(), data.begin());
        }
        lines.push_back(upload::s1Line(unsigned(r) * 16 % 0xF000, data));
    }
    lines.push_back(upload::s1Line(0xF003, {0x00, 0x01}));
    lines.push_back("S9030000FC");
    return lines;
}

class QuietUi : public term::TerminalUi {
public:
    Answer message(const std::string& text, const std::string&, Buttons, Icon) override
    {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        return Answer::Yes;
    }
    void refresh() override {}
};

// The simulated ACU at the far end of the pseudo-terminal: it reads one character each
// character time and answers as the module does.
class FarEnd {
public:
    explicit FarEnd(int master) : master_(master) { thread_ = std::thread([this] { run(); }); }
    ~FarEnd()
    {
        stop_ = true;
        thread_.join();
    }
    std::atomic<long> accepted{0};

private:
    void run()
    {
        sim::ModuleModel model("acu-boot");
        model.device().setShipMotion(false);
        auto& acu = static_cast<sim::AcuBoot&>(model.module());
        auto last = Steady::now();
        auto next = last;
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            const bool ready = ::poll(&p, 1, 5) > 0 && (p.revents & POLLIN);
            char c;
            if (ready && ::read(master_, &c, 1) == 1) {
                model.receive(std::string(1, c));
                next = std::max(next, Steady::now()) + std::chrono::duration_cast<Steady::duration>(
                                                          std::chrono::duration<double, std::milli>(kCharMs));
            }
            const auto now = Steady::now();
            const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - last);
            if (ms.count() > 0) {
                model.advance(common::Ms{ms.count()});
                last += ms;
            }
            const std::string out = model.takeOutput();
            if (!out.empty())
                [[maybe_unused]] const auto n = ::write(master_, out.data(), out.size());
            accepted = acu.recordsAccepted();
            if (ready)
                std::this_thread::sleep_until(next);
        }
    }
    int master_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Result {
    double wallMs = 0, floorMs = 0, cpu = 0;
    double terminalFloorMs = 0; // the terminal's own account of the same floor
    bool ok = false;
};

Result runOnce(bool whole, const std::string& file, const std::vector<std::string>& lines)
{
    bench::RawPty pty;
    pty.closeSlave();
    const std::string name = pty.path;
    FarEnd far(pty.master);

    common::QtClock clock;
    QuietUi ui;
    const std::string settings = "9600,N,8,1";
    term::Terminal t(clock, ui, [&](const term::Terminal&) -> std::unique_ptr<common::Link> {
        return std::make_unique<common::SerialLink>(name, settings);
    });
    t.settings = settings;
    term::ModulePaths paths(t, nullptr);
    paths.Select(term::ModulePath::TAV8a, false);
    term::TextSender sender(t);
    upload::UploadEngine engine(t, paths, sender);
    engine.chooseFile = [&](const std::string&, const std::string&) { return file; };
    upload::AutoUpload autoUpload(engine);
    t.mnuOpen_Click();
    if (!t.linkOpen()) {
        std::fprintf(stderr, "the link did not open\n");
        std::exit(1);
    }

    // The floor: each line's fragments ("#" + 4 + CR LF, 7 characters) with 6 ms after each,
    // 15 ms after the line.
    auto lineFloor = [](const std::string& line) {
        const double fragments = double(upload::fragments(line).size());
        return fragments * (7 * kCharMs + upload::kFragmentSettleMs) + upload::kLineSettleMs;
    };
    Result r;
    const double c0 = bench::cpuSeconds(RUSAGE_THREAD); // the terminal's thread, not the far end's
    const auto t0 = Steady::now();
    t.resetFloor();
    if (!whole) {
        engine.file.path = file;
        r.ok = engine.mnuSendHex_Click() == upload::UploadEngine::TransferResult::Done;
        for (size_t i = 1; i < lines.size(); ++i) // the S0 header is not sent
            r.floorMs += lineFloor(lines[i]);
        r.floorMs += upload::kTransferEndSettleMs;
    } else {
        r.ok = autoUpload.cmdAUpload_Click() == upload::UploadResult::Complete;
        using namespace upload;
        const double c = kCharMs;
        r.floorMs = double(2 * kLockWait.count()) + 5 * c                  // the port lock
                    + 2 * c + double(kCommCheckWait.count())                 // ESC "S"
                    + 1 * c + double(kVersionWait.count())                   // "V"
                    + 8 * c + double(kBootStartWait.count())                 // ESC "\0080" CR LF
                    + 7 * c + double(kEraseWait.count());                    // "^0578" CR LF
        for (const auto& line : lines)
            r.floorMs += lineFloor(line);
        r.floorMs += kFinalLookSettleMs + 2 * c + double(kCommCheckWait.count()) // the look and the ESC "S"
                     + double(2 * kRebootStep.count()) + 11 * c;                 // the restart
    }
    r.wallMs = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
    r.terminalFloorMs = t.floorMs();
    if (!r.ok) { // what the terminal showed, to see why
        const std::string& shown = t.screen.text();
        std::fprintf(stderr, "screen:\n%s\n", shown.substr(shown.size() > 1500 ? shown.size() - 1500 : 0).c_str());
    }
    r.cpu = bench::cpuSeconds(RUSAGE_THREAD) - c0;
    t.mnuOpen_Click();
    return r;
}

void report(const char* what, const Result& r)
{
    std::printf("%s: %s\n", what, r.ok ? "complete" : "NOT COMPLETE");
    std::printf("  wall %.1f s, floor %.1f s: %+.2f %% over the floor (the terminal's own floor %.1f s)\n",
                r.wallMs / 1000, r.floorMs / 1000, 100.0 * (r.wallMs - r.floorMs) / r.floorMs,
                r.terminalFloorMs / 1000);
    std::printf("  CPU %.2f s = %.2f %% of one core\n", r.cpu, 100.0 * r.cpu * 1000 / r.wallMs);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int kib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;
    const auto file = std::filesystem::temp_directory_path() / ("upload-bench-" + std::to_string(::getpid()) + ".s19");
    const auto lines = image(kib);
    {
        std::ofstream out(file);
        for (const auto& l : lines)
            out << l << "\r\n";
    }
    std::printf("image: %d KiB in %zu lines over a pseudo-terminal at 9600,N,8,1 read at line pace\n", kib,
                lines.size());
    std::fflush(stdout);
    const std::string only = argc > 2 ? argv[2] : "";
    if (only != "whole")
        report("transfer alone (Upload S19 File)", runOnce(false, file.string(), lines));
    std::fflush(stdout);
    if (only != "transfer")
        report("whole auto upload", runOnce(true, file.string(), lines));
    std::filesystem::remove(file);
    return 0;
}
