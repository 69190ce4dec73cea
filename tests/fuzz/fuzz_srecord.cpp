// Firmware images as korrin reads them: any bytes as a file given to the image check on any
// module path (questions answered yes or no by the input), every line read as a record and cut
// into the transfer's fragments, the version read, and the SLCD's binary check. Never a crash;
// the version is at most six characters of 33..121, a record read holds what its count says,
// and the fragments put together are the line.
//
// Input: byte 0 the module path (low five bits) and the answers (bit 5); the rest is the file.
#include "FuzzSupport.h"
#include "terminal/core/ModulePaths.h"
#include "terminal/upload/FileCheck.h"
#include "terminal/upload/SRecord.h"
#include "terminal/upload/UploadEngine.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::string path = fuzzsupport::memoryFile(data + 1, size - 1);

    std::vector<std::string> lines;
    std::string error;
    if (upload::readLines(path, lines, error)) {
        for (const std::string& line : lines) {
            if (const auto r = upload::parseRecord(line)) {
                if (r->data.size() + upload::addressBytes(r->type) + 1 != r->count)
                    std::abort();
            }
            std::string joined;
            for (const std::string& f : upload::fragments(line)) {
                if (f.size() != 3 && f.size() != 4)
                    std::abort();
                joined += f;
            }
            if (joined.compare(0, line.size(), line) != 0)
                std::abort();
        }
        upload::lastDataRecord(lines);
        const std::string version = upload::findVersion(upload::loadS1Image(lines));
        if (version.size() > 6)
            std::abort();
        for (unsigned char c : version)
            if (c <= 32 || c >= 122)
                std::abort();
    }
    upload::BinImage bin;
    if (upload::checkBinFile(path, bin, error) && bin.formatOk && bin.size != size - 1)
        std::abort();

    // The whole check on a module path, as the window runs it.
    common::VirtualClock clock;
    fuzzsupport::AnsweringUi ui(data[0] & 0x20);
    term::Terminal t(clock, ui, nullptr);
    const auto p = static_cast<term::ModulePath>((data[0] & 0x1F) % term::kModulePathCount);
    bool asked = false;
    upload::UploadFile file;
    const auto result = upload::CheckUploadFile(
        t, p, [&](const std::string&, const std::string&) { return std::exchange(asked, true) ? std::string() : path; },
        file);
    if (file.verified != (result == upload::CheckResult::Passed) || file.version.size() > 6)
        std::abort();
    return 0;
}
