#pragma once
// S-record images for the upload tests: data records of 16 bytes from an address, a version
// text, and an ACU image's last record (it holds "F003").
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace uptest {

inline std::string s1Record(unsigned address, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> body = {std::uint8_t(data.size() + 3), std::uint8_t(address >> 8),
                                      std::uint8_t(address & 0xFF)};
    body.insert(body.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string line = "S1";
    char hex[4];
    for (auto b : body) {
        sum += b;
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", (~sum) & 0xFF);
    return line + hex;
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
