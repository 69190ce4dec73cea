#pragma once
// S-record images for the PCU, motor-driver, modem and Brine PCU uploads: a header, data records
// of 16 bytes, the version text, and a last data record at the address the module's image check
// looks for (the PCU and the Brine PCU F803, the motor driver F089, the modems F080).
#include "ImageFiles.h"
#include "terminal/core/ModulePaths.h"

namespace uptest {

inline unsigned lastRecordAddress(term::ModulePath p)
{
    using term::ModulePath;
    switch (p) {
    case ModulePath::TAV8mdb:
    case ModulePath::USBmdb:
        return 0xF089;
    case ModulePath::TAV8m1:
    case ModulePath::TAV8m2:
        return 0xF080;
    default:
        return 0xF803;
    }
}

inline Image unitImage(term::ModulePath p, int records, const std::string& version = "7.05")
{
    Image img;
    img.lines.push_back("S00600004844521B");
    auto add = [&img](unsigned address, const std::vector<std::uint8_t>& data) {
        img.lines.push_back(s1Record(address, data));
        for (size_t i = 0; i < data.size(); ++i)
            img.bytes.emplace_back(unsigned(address + i), data[i]);
    };
    for (int r = 0; r < records; ++r) {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < 16; ++i)
            data.push_back(std::uint8_t(r * 13 + i * 5 + 1));
        add(0x1000 + unsigned(r) * 16, data);
    }
    const std::string v = "UNIT VER " + version + " ";
    add(0x0F00, std::vector<std::uint8_t>(v.begin(), v.end()));
    add(lastRecordAddress(p), {0x00, 0x01});
    img.lines.push_back("S9030000FC");
    return img;
}

} // namespace uptest
