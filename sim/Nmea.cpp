#include "sim/Nmea.h"

#include "common/Hex.h"

namespace sim {

namespace {

// The sentence type: the three letters after the two-letter talker ("$GPGLL" -> "GLL").
std::string_view sentenceType(std::string_view s)
{
    if (s.size() < 6 || s[0] != '$')
        return {};
    return s.substr(3, 3);
}

bool typeFollowedByField(std::string_view s, std::string_view type)
{
    return sentenceType(s) == type && (s.size() == 6 || s[6] == ',' || s[6] == '*');
}

} // namespace

std::string nmeaChecksumOf(std::string_view body)
{
    unsigned x = 0;
    for (char c : body)
        x ^= static_cast<unsigned char>(c);
    static const char digits[] = "0123456789ABCDEF";
    return {digits[(x >> 4) & 15], digits[x & 15]};
}

NmeaChecksum checkNmea(std::string_view sentence)
{
    const std::size_t star = sentence.find('*');
    if (star == std::string_view::npos)
        return NmeaChecksum::Absent;
    const std::string_view given = sentence.substr(star + 1);
    if (sentence.empty() || sentence[0] != '$' || given.size() != 2 || common::hexDigit(given[0]) < 0 || common::hexDigit(given[1]) < 0)
        return NmeaChecksum::Bad;
    const unsigned want = static_cast<unsigned>(common::hexDigit(given[0]) * 16 + common::hexDigit(given[1]));
    const std::string got = nmeaChecksumOf(sentence.substr(1, star - 1));
    return static_cast<unsigned>(common::hexDigit(got[0]) * 16 + common::hexDigit(got[1])) == want ? NmeaChecksum::Good
                                                                                    : NmeaChecksum::Bad;
}

bool isPositionSentence(std::string_view sentence)
{
    return typeFollowedByField(sentence, "GLL");
}

bool isHeadingSentence(std::string_view sentence)
{
    return typeFollowedByField(sentence, "HDT");
}

bool NmeaLog::take(const std::string& sentence)
{
    const NmeaChecksum c = checkNmea(sentence);
    ++counts_[static_cast<int>(c)];
    entries_.push_back({sentence, c});
    if (entries_.size() > historyLength)
        entries_.pop_front();
    return !(strict_ && c == NmeaChecksum::Bad);
}

} // namespace sim
