#pragma once
// NMEA 0183 sentences as the equipment receives them from a GPS receiver ("$GPGLL,...") and a
// heading sensor ("$HDHDT,..."): the checksum check, and a record of what came in.
//
// A sentence may end with "*" and two hexadecimal digits, the exclusive-or of every byte
// between "$" and "*". When they are there they are checked; a sentence without them has no
// checksum to check. The equipment is lenient by default: a sentence with a wrong checksum is
// recorded as bad and still used (the terminal's heading sentence always carries "*00"). In
// strict mode it is refused.
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

namespace sim {

enum class NmeaChecksum { Absent, Good, Bad };

// The checksum of a sentence body (the bytes between "$" and "*"), as two upper-case
// hexadecimal digits.
std::string nmeaChecksumOf(std::string_view body);
// Checks the checksum of a whole sentence ("$" ... ["*" hh]), line end removed.
NmeaChecksum checkNmea(std::string_view sentence);
// True for the sentences the equipment takes: position ("GLL") and true heading ("HDT"),
// from any talker.
bool isPositionSentence(std::string_view sentence);
bool isHeadingSentence(std::string_view sentence);

class NmeaLog {
public:
    static constexpr std::size_t historyLength = 256;

    struct Entry {
        std::string sentence;
        NmeaChecksum checksum;
    };

    // Records a received sentence; true when it is to be used (strict mode refuses a bad
    // checksum).
    bool take(const std::string& sentence);

    void setStrict(bool strict) { strict_ = strict; }
    bool strict() const { return strict_; }
    int count(NmeaChecksum c) const { return counts_[static_cast<int>(c)]; }
    // Sentences received, oldest first (at most historyLength).
    const std::deque<Entry>& sentences() const { return entries_; }

private:
    bool strict_ = false;
    int counts_[3] = {0, 0, 0};
    std::deque<Entry> entries_;
};

} // namespace sim
