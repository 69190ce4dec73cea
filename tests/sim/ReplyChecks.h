#pragma once
// The panel's view of a reply line, written out independently of the simulator: where the
// key character must stand and what is read at fixed distances after it. Positions are
// 1-based, as the reply layouts are documented.
#include <cctype>
#include <string>

namespace simtest {

// 1-based position of the first occurrence of key in line, 0 when absent.
inline int position(const std::string& line, const std::string& key)
{
    const auto at = line.find(key);
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

// The character at a 1-based position, '\0' past the end.
inline char at(const std::string& line, int pos)
{
    return pos >= 1 && pos <= static_cast<int>(line.size()) ? line[static_cast<std::size_t>(pos - 1)] : '\0';
}

// The field of width characters starting at a 1-based position.
inline std::string field(const std::string& line, int pos, int width)
{
    if (pos < 1 || pos > static_cast<int>(line.size()))
        return {};
    return line.substr(static_cast<std::size_t>(pos - 1), static_cast<std::size_t>(width));
}

// True when the field is exactly width decimal digits.
inline bool isDigits(const std::string& f, std::size_t width)
{
    if (f.size() != width)
        return false;
    for (char c : f)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

inline bool isHexDigits(const std::string& f, std::size_t width)
{
    if (f.size() != width)
        return false;
    for (char c : f)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The leading number at a 1-based position (digits only), -1 when none.
inline long numberAt(const std::string& line, int pos)
{
    long v = -1;
    for (int p = pos; p <= static_cast<int>(line.size()) && std::isdigit(static_cast<unsigned char>(at(line, p))); ++p)
        v = (v < 0 ? 0 : v * 10) + (at(line, p) - '0');
    return v;
}

// A status character carries six flag bits from "@" upwards.
inline bool isFlagChar(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return u >= 64 && u <= 127;
}

inline unsigned flagBits(char c)
{
    return static_cast<unsigned>(static_cast<unsigned char>(c) - 64) & 63u;
}

// The ACU status reply as the panel accepts it: "S" at 1..6 with at least four characters after.
inline bool statusReplyValid(const std::string& line)
{
    const int k = position(line, "S");
    return k >= 1 && k <= 6 && static_cast<int>(line.size()) >= k + 4;
}

} // namespace simtest
