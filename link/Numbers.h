#pragma once

#include <string>
#include <string_view>

namespace kvt::link {

// Number conversions for commands and replies. All of them use a point as
// decimal separator whatever the process locale, and none of them cuts a
// large value short.

// Reads a decimal number the way the C text-to-number conversion does:
// leading white space, optional sign, digits with optional fraction and
// exponent; reading stops at the first character that does not fit. Text
// that does not start with a number reads as 0. Hexadecimal, "inf" and
// "nan" are not numbers here. Values beyond the double range read as
// ±HUGE_VAL, too small ones as 0 or a subnormal.
double ParseNumber(std::string_view text);

// Reads an integer the way the C text-to-integer conversion does (white
// space, sign, decimal digits). Values beyond int are clamped to its range.
int ParseInteger(std::string_view text);

// ParseNumber truncated toward zero, clamped to the int range.
int ParseTruncatedInteger(std::string_view text);

// printf("%.<decimals>f") with a point, written in full however large.
std::string FormatFixed(double value, int decimals);

// printf("%d").
std::string FormatInteger(long long value);

// The value truncated toward zero, written as an integer in full
// (1e30 gives all 31 digits, not a wrapped machine integer).
std::string FormatTruncated(double value);

}  // namespace kvt::link
