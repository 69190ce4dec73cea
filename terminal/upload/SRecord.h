#pragma once
// Motorola S-record images as the uploads read them: one record a line, "S", a type digit, a
// count byte, the address, the data and a checksum, all in hexadecimal pairs. Nothing here
// trusts the file: a line of any length and content is taken without a crash, and the
// readers say what they found rather than what the file claims.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace upload {

// One record read strictly: every character a hexadecimal digit where it must be, the count
// matching the line, and the checksum checked.
struct SRecord {
    char type = 0;              // '0' .. '9'
    unsigned count = 0;         // bytes after the count: address, data and checksum
    std::uint32_t address = 0;  // 16 bits for S0/S1/S5/S9, 24 for S2/S8, 32 for S3/S7
    std::vector<std::uint8_t> data;
    bool checksumOk = false;
};
// Nothing when the line is not a well-formed record (the line end is not part of the line).
std::optional<SRecord> parseRecord(std::string_view line);
// An S1 record of data at a 16-bit address, its count and checksum made (for images written by
// tools and tests).
std::string s1Line(unsigned address, const std::vector<std::uint8_t>& data);
// Address bytes of each record type (2 for S0, S1, S5, S9; 3 for S2, S8; 4 for S3, S7).
unsigned addressBytes(char type);

// The last data record: the line just before the first line that holds "S9" anywhere; when no
// line holds it, the line before the last line; empty when the first line holds it or there is
// no line before.
std::string lastDataRecord(const std::vector<std::string>& lines);

// The image as the version read loads it: 65 537 bytes indexed by the 16-bit address, zero
// before loading. Only S1 lines count; their count is characters 3-4, the address characters
// 5-8, and count - 3 data bytes follow from character 9 (the checksum is not read). A digit that
// is not hexadecimal reads as zero, bytes past index 65 536 are dropped, and reading stops at
// the first line that begins with "S9".
inline constexpr std::size_t kImageSize = 65537;
std::vector<std::uint8_t> loadS1Image(const std::vector<std::string>& lines);

// The version text of an image: after the first "V" followed by "E" and "R" in either case
// (searched from 0 to 65 523), from one past the first blank within p+3 .. p+8 (else p+10), up to
// six characters with codes from 33 to 121. Empty when there is none.
std::string findVersion(const std::vector<std::uint8_t>& image);

// A text file read one line at a time (ends LF, CR LF or a lone CR; the last line may have
// none), as a transfer sends it. A line longer than kMaxLineChars is a read error: the file is
// not text (an S-record line holds at most 514 characters).
inline constexpr std::size_t kMaxLineChars = 65536;
class TextLines {
public:
    TextLines() = default;
    ~TextLines();
    TextLines(const TextLines&) = delete;
    TextLines& operator=(const TextLines&) = delete;
    // False, with the system's reason in error, when the file cannot be opened.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return f_ != nullptr; }
    // The next line; false at the end of the file or on a read error (error() then tells).
    bool next(std::string& line);
    const std::string& error() const { return error_; }
    void close();

private:
    std::FILE* f_ = nullptr;
    std::string error_;
};

// Reads a text file's lines (ends LF, CR LF or a lone CR; the last line may have none).
// False, with the system's reason in error, when the file cannot be opened or read, or is
// larger than any image could be (kMaxTextFileBytes).
inline constexpr std::uint64_t kMaxTextFileBytes = 64ull << 20;
bool readLines(const std::string& path, std::vector<std::string>& lines, std::string& error);

// The SLCD's binary image: its first 128-byte block begins 0xEB 0xFE.
inline constexpr std::size_t kBinBlock = 128;
struct BinImage {
    bool formatOk = false;    // the first two bytes are 0xEB 0xFE
    std::uint64_t size = 0;   // 128 x the blocks after the first + the length of the final one
};
// False, with the system's reason in error, when the file cannot be opened or read.
bool checkBinFile(const std::string& path, BinImage& out, std::string& error);

} // namespace upload
