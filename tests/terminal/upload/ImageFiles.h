#pragma once
// S-record images for the upload tests: data records of 16 bytes from an address, a version
// text, and an ACU image's last record (it holds "F003").
#include "terminal/upload/SRecord.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace uptest {

inline std::string s1Record(unsigned address, const std::vector<std::uint8_t>& data)
{
    return upload::s1Line(address, data);
}

struct Image {
    std::vector<std::string> lines;
    std::vector<std::pair<unsigned, std::uint8_t>> bytes; // address, value of every data byte
    std::string text() const
    {
        std::string t;
        for (const auto& l : lines)
            t += l + "\r\n";
        return t;
    }
};

// An ACU image: a header, `records` data records from 0xE000, the version text, the last record
// at 0xF003, and S9.
inline Image acuImage(int records, const std::string& version = "7.20")
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
            data.push_back(std::uint8_t(r * 16 + i * 7));
        add(0xE000 + unsigned(r) * 16, data);
    }
    const std::string v = "TAV ACU VER " + version + " ";
    add(0xDF00, std::vector<std::uint8_t>(v.begin(), v.end()));
    add(0xF003, {0x00, 0x01});
    img.lines.push_back("S9030000FC");
    return img;
}

} // namespace uptest
