#include "SRecord.h"

#include "common/Hex.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace upload {

namespace {

// The byte of the hexadecimal pair at i; -1 when the pair is not there or not hexadecimal.
int hexByte(std::string_view s, size_t i)
{
    if (i + 1 >= s.size())
        return -1;
    const int hi = common::hexDigit(s[i]), lo = common::hexDigit(s[i + 1]);
    return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

// The lenient reading of the version loader: a missing or bad digit reads as zero.
unsigned lenientHex(std::string_view s, size_t from, size_t digits)
{
    unsigned v = 0;
    for (size_t i = from; i < from + digits; ++i) {
        const int d = i < s.size() ? common::hexDigit(s[i]) : -1;
        v = v * 16 + unsigned(d < 0 ? 0 : d);
    }
    return v;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

unsigned addressBytes(char type)
{
    switch (type) {
    case '2':
    case '8':
        return 3;
    case '3':
    case '7':
        return 4;
    default:
        return 2;
    }
}

std::string s1Line(unsigned address, const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> body = {std::uint8_t(data.size() + 3), std::uint8_t(address >> 8), std::uint8_t(address)};
    body.insert(body.end(), data.begin(), data.end());
    unsigned sum = 0;
    std::string line = "S1";
    char hex[4];
    for (const auto b : body) {
        sum += b;
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", ~sum & 0xFF);
    return line + hex;
}

std::optional<SRecord> parseRecord(std::string_view line)
{
    if (line.size() < 4 || line[0] != 'S' || line[1] < '0' || line[1] > '9')
        return std::nullopt;
    const int count = hexByte(line, 2);
    if (count < 0 || line.size() != 4 + 2 * size_t(count))
        return std::nullopt;
    SRecord r;
    r.type = line[1];
    r.count = unsigned(count);
    const unsigned addr = addressBytes(r.type);
    if (r.count < addr + 1)
        return std::nullopt; // no room for the address and the checksum
    unsigned sum = r.count;
    for (unsigned i = 0; i < r.count; ++i) {
        const int b = hexByte(line, 4 + 2 * size_t(i));
        if (b < 0)
            return std::nullopt;
        sum += unsigned(b);
        if (i < addr)
            r.address = (r.address << 8) | unsigned(b);
        else if (i + 1 < r.count)
            r.data.push_back(std::uint8_t(b));
    }
    // The checksum makes the low byte of the sum of every byte after the type all ones.
    r.checksumOk = (sum & 0xFF) == 0xFF;
    return r;
}

std::string lastDataRecord(const std::vector<std::string>& lines)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].find("S9") != std::string::npos)
            return i == 0 ? std::string() : lines[i - 1];
    }
    return lines.size() >= 2 ? lines[lines.size() - 2] : std::string();
}

std::vector<std::uint8_t> loadS1Image(const std::vector<std::string>& lines)
{
    std::vector<std::uint8_t> image(kImageSize, 0);
    for (const std::string& line : lines) {
        if (line.compare(0, 2, "S9") == 0)
            break;
        if (line.compare(0, 2, "S1") != 0)
            continue;
        const unsigned count = lenientHex(line, 2, 2);
        size_t address = lenientHex(line, 4, 4);
        for (unsigned k = 0; k + 3 < count; ++k, ++address) {
            if (address >= kImageSize)
                break;
            image[address] = std::uint8_t(lenientHex(line, 8 + 2 * size_t(k), 2));
        }
    }
    return image;
}

std::string findVersion(const std::vector<std::uint8_t>& image)
{
    auto upper = [](std::uint8_t c) { return char(c >= 'a' && c <= 'z' ? c - 32 : c); };
    const size_t last = std::min<size_t>(65523, image.size() >= 3 ? image.size() - 3 : 0);
    for (size_t p = 0; p <= last && p + 2 < image.size(); ++p) {
        // The next "V" (an image is mostly other bytes, so it is looked for in one sweep).
        const void* found = std::memchr(image.data() + p, 'V', last + 1 - p);
        if (!found)
            break;
        p = size_t(static_cast<const std::uint8_t*>(found) - image.data());
        if (p + 2 >= image.size() || upper(image[p + 1]) != 'E' || upper(image[p + 2]) != 'R')
            continue;
        size_t blank = p + 9;
        for (size_t i = p + 3; i <= p + 8 && i < image.size(); ++i) {
            if (image[i] == ' ') {
                blank = i;
                break;
            }
        }
        std::string v;
        for (size_t i = blank + 1; i < image.size() && v.size() < 6; ++i) {
            if (image[i] <= 32 || image[i] >= 122)
                break;
            v.push_back(char(image[i]));
        }
        return v;
    }
    return {};
}

TextLines::~TextLines() { close(); }

bool TextLines::open(const std::string& path, std::string& error)
{
    close();
    error_.clear();
    f_ = std::fopen(path.c_str(), "rb");
    if (!f_)
        error = std::strerror(errno);
    return f_ != nullptr;
}

void TextLines::close()
{
    if (f_)
        std::fclose(f_);
    f_ = nullptr;
}

bool TextLines::next(std::string& line)
{
    line.clear();
    if (!f_)
        return false;
    bool any = false;
    for (int c; (c = std::getc(f_)) != EOF;) {
        any = true;
        if (c == '\n')
            return true;
        if (c == '\r') {
            const int n = std::getc(f_);
            if (n != '\n' && n != EOF)
                std::ungetc(n, f_);
            return true;
        }
        if (line.size() >= kMaxLineChars) {
            error_ = "A line is longer than " + std::to_string(kMaxLineChars) + " characters: this is not a text file.";
            return false;
        }
        line.push_back(char(c));
    }
    if (std::ferror(f_)) {
        error_ = std::strerror(errno ? errno : EIO);
        return false;
    }
    return any;
}

bool readLines(const std::string& path, std::vector<std::string>& lines, std::string& error)
{
    lines.clear();
    TextLines f;
    if (!f.open(path, error))
        return false;
    std::uint64_t read = 0;
    for (std::string line; f.next(line);) {
        read += line.size() + 1;
        if (read > kMaxTextFileBytes) {
            error = "The file is larger than " + std::to_string(kMaxTextFileBytes >> 20)
                    + " MB; it is not a firmware image.";
            return false;
        }
        lines.push_back(std::move(line));
    }
    if (!f.error().empty()) {
        error = f.error();
        return false;
    }
    return true;
}

bool checkBinFile(const std::string& path, BinImage& out, std::string& error)
{
    out = {};
    std::unique_ptr<std::FILE, FileCloser> f(std::fopen(path.c_str(), "rb"));
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    unsigned char block[kBinBlock];
    size_t n = std::fread(block, 1, sizeof block, f.get());
    out.formatOk = n >= 2 && block[0] == 0xEB && block[1] == 0xFE;
    out.size = n;
    while (out.formatOk && (n = std::fread(block, 1, sizeof block, f.get())) > 0)
        out.size += n;
    if (std::ferror(f.get())) {
        error = std::strerror(errno ? errno : EIO);
        return false;
    }
    return true;
}

} // namespace upload
