// Upload benchmark: an image sent to a module path's simulated bootloader over a pseudo-terminal
// at the path's line speed, whose far end reads one character each character time, as a real
// line empties. For each path it prints the wall time of the auto upload against its floor
// (every character's line time plus every settle and pause the path prescribes, answers taken
// as instant: the terminal keeps that account itself) and the CPU the terminal's thread used;
// for the ACU also the transfer alone (File > Upload S19 File).
//
//   upload_bench [KiB [CODE...]]   (default 64 KiB, path TAV8a; "all" runs every path listed
//                                   below. At 9600 baud a 64 KiB image takes about ten minutes.)
#include "BenchSupport.h"

#include "common/Link.h"
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

// A module path, the simulated module that serves it, and what its image looks like: the
// address of the last data record (the module group's marker) and the version text, or a BIN
// image.
struct PathBench {
    const char* code;
    const char* module;
    unsigned lastRecord;
    const char* version;
    bool bin = false;
};

const PathBench kPaths[] = {
    {"TAV8a", "acu-boot", 0xF003, "TAV VER 7.20 "},
    {"TAV8p", "pcu-boot", 0xF803, "UNIT VER 7.05 "},
    {"TAV8mdb", "mde-boot", 0xF089, "UNIT VER 7.05 "},
    {"TAV8m1", "modem-boot", 0xF080, "UNIT VER 7.05 "},
    {"CPCU", "brine-boot", 0xF803, "UNIT VER 4.12 "},
    {"USBpcu", "pcu-usb", 0xF803, "UNIT VER 7.05 "},
    {"SPG2pcu", "pcu-service", 0xF803, "UNIT VER 7.05 "},
    {"USBmdb", "mde-usb", 0xF089, "UNIT VER 7.05 "},
    {"Vantor", "vantor-boot", 0xE003, "UNIT VER 7.05 "},
    {"OrlaPCU", "orla-boot", 0xF003, "UNIT VER 7.05 "},
    {"SLCD", "slcd", 0, "", true},
};

// An S-record image of `kib` KiB in 16-byte records (addresses wrap below 0xF000), the version
// text in the last data record, then the marker record and S9.
std::vector<std::string> s19Image(int kib, const PathBench& p)
{
    std::vector<std::string> lines = {"S00600004844521B"};
    const int records = kib * 64;
    for (int r = 0; r < records - 1; ++r) {
        std::vector<std::uint8_t> data(16);
        for (int i = 0; i < 16; ++i)
            data[size_t(i)] = std::uint8_t(r + i * 31);
        if (r == records - 2) { // written last, so no later record lands on it
            const std::string v = p.version;
            std::copy(v.begin(), v.end(), data.begin());
        }
        lines.push_back(upload::s1Line(unsigned(r) * 16 % 0xF000, data));
    }
    lines.push_back(upload::s1Line(p.lastRecord, {0x00, 0x01}));
    lines.push_back("S9030000FC");
    return lines;
}

// A BIN image: the two marker bytes, then `kib` KiB less two of data.
std::string binImage(int kib)
{
    std::string b = "\xEB\xFE";
    for (int i = 2; i < kib * 1024; ++i)
        b.push_back(char((i * 31) & 0xFF));
    return b;
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

// The simulated module at the far end of the pseudo-terminal: it reads one character each
// character time and answers as the module does.
class FarEnd {
public:
    FarEnd(int master, const char* module, double charMs) : master_(master), module_(module), charMs_(charMs)
    {
        thread_ = std::thread([this] { run(); });
    }
    ~FarEnd()
    {
        stop_ = true;
        thread_.join();
    }

private:
    void run()
    {
        sim::ModuleModel model(module_);
        model.device().setShipMotion(false);
        auto last = Steady::now();
        auto next = last;
        const auto perChar =
            std::chrono::duration_cast<Steady::duration>(std::chrono::duration<double, std::milli>(charMs_));
        while (!stop_) {
            pollfd p{master_, POLLIN, 0};
            const bool ready = ::poll(&p, 1, 5) > 0 && (p.revents & POLLIN);
            char c;
            if (ready && ::read(master_, &c, 1) == 1) {
                model.receive(std::string(1, c));
                next = std::max(next, Steady::now()) + perChar;
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
            if (ready)
                std::this_thread::sleep_until(next);
        }
    }
    int master_;
    const char* module_;
    double charMs_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct Result {
    double wallMs = 0, floorMs = 0, cpu = 0;
    bool ok = false;
};

Result runOnce(const PathBench& pb, bool transferOnly, const std::string& file)
{
    const auto path = term::modulePathForCode(pb.code);
    if (!path) {
        std::fprintf(stderr, "no module path %s\n", pb.code);
        std::exit(2);
    }
    const int baud = term::modulePathRow(*path).baud;
    const std::string settings = std::to_string(baud) + ",N,8,1";
    const double charMs = 10.0 * 1000.0 / baud;

    bench::RawPty pty;
    pty.closeSlave();
    const std::string name = pty.path;
    FarEnd far(pty.master, pb.module, charMs);
    common::QtClock clock;
    QuietUi ui;
    term::Terminal t(clock, ui, [&](const term::Terminal&) -> std::unique_ptr<common::Link> {
        return std::make_unique<common::SerialLink>(name, settings);
    });
    t.settings = settings;
    term::ModulePaths paths(t, nullptr);
    paths.Select(*path, false);
    term::TextSender sender(t);
    upload::UploadEngine engine(t, paths, sender);
    engine.chooseFile = [&](const std::string&, const std::string&) { return file; };
    upload::AutoUpload autoUpload(engine);
    t.mnuOpen_Click();
    if (!t.linkOpen()) {
        std::fprintf(stderr, "the link did not open\n");
        std::exit(1);
    }

    Result r;
    const double c0 = bench::cpuSeconds(RUSAGE_THREAD); // the terminal's thread, not the far end's
    const auto t0 = Steady::now();
    t.resetFloor();
    if (transferOnly) {
        engine.file.path = file;
        r.ok = engine.mnuSendHex_Click() == upload::UploadEngine::TransferResult::Done;
    } else {
        r.ok = autoUpload.cmdAUpload_Click() == upload::UploadResult::Complete;
    }
    r.wallMs = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
    r.floorMs = t.floorMs();
    r.cpu = bench::cpuSeconds(RUSAGE_THREAD) - c0;
    if (!r.ok) { // what the terminal showed, to see why
        const std::string& shown = t.screen.text();
        std::fprintf(stderr, "screen:\n%s\n", shown.substr(shown.size() > 1500 ? shown.size() - 1500 : 0).c_str());
    }
    if (t.linkOpen())
        t.mnuOpen_Click();
    return r;
}

void report(const std::string& what, const Result& r)
{
    std::printf("%s: %s\n", what.c_str(), r.ok ? "complete" : "NOT COMPLETE");
    std::printf("  wall %.1f s, floor %.1f s: %+.2f %% over the floor; CPU %.2f s = %.2f %% of one core\n",
                r.wallMs / 1000, r.floorMs / 1000, 100.0 * (r.wallMs - r.floorMs) / r.floorMs, r.cpu,
                100.0 * r.cpu * 1000 / r.wallMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int kib = argc > 1 ? std::max(1, std::atoi(argv[1])) : 64;
    std::vector<const PathBench*> chosen;
    for (int i = 2; i < argc; ++i) {
        for (const auto& p : kPaths)
            if (std::string(argv[i]) == "all" || std::string(argv[i]) == p.code)
                chosen.push_back(&p);
    }
    if (chosen.empty())
        chosen.push_back(&kPaths[0]);

    for (const PathBench* p : chosen) {
        const auto file = std::filesystem::temp_directory_path()
                          / ("upload-bench-" + std::to_string(::getpid()) + "-" + p->code + (p->bin ? ".bin" : ".s19"));
        size_t lines = 0;
        {
            std::ofstream out(file, std::ios::binary);
            if (p->bin) {
                out << binImage(kib);
            } else {
                for (const auto& l : s19Image(kib, *p)) {
                    out << l << "\r\n";
                    ++lines;
                }
            }
        }
        std::printf("%s (%s): %d KiB%s over a pseudo-terminal read at line pace\n", p->code, p->module, kib,
                    p->bin ? " BIN" : (" in " + std::to_string(lines) + " lines").c_str());
        std::fflush(stdout);
        if (std::string(p->code) == "TAV8a")
            report("  transfer alone (Upload S19 File)", runOnce(*p, true, file.string()));
        report("  auto upload", runOnce(*p, false, file.string()));
        std::filesystem::remove(file);
    }
    return 0;
}
