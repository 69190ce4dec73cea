#pragma once
// Number reading and formatting as the panel's texts use them.
#include <string>

namespace panel {

// The leading number of a text from position pos (0-based): blanks skipped, an optional sign,
// digits and one decimal point; 0 when no number stands there. "12.5abc" reads 12.5.
double Val(const std::string& text, size_t pos = 0);
// The same, for a field that must be read as hexadecimal digits (0 when none).
long HexVal(const std::string& text, size_t pos = 0);
// The value 0..15 of the hexadecimal digit at 0-based position i (0 for anything else).
int aH2I(const std::string& text, size_t i);
// Round to the nearest integer, halves to the even neighbour; saturates outside the range of
// long, and NaN gives 0.
long roundEven(double v);
// n with at least 3 (4) digits, leading zeros; a negative number keeps its sign in front.
std::string afmtINT3(long n);
std::string afmtINT4(long n);
// Tenths of a degree as text with one decimal: 1234 -> "123.4"; minDigits pads the whole part.
std::string tenthsText(long tenths, int minWholeDigits = 1);

} // namespace panel
