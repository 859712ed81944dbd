#pragma once

#include <string>
#include <string_view>

namespace kvt::functions {

// The metric prefixes the analysis views show and accept. Index i stands
// for the factor 1000^(i - 4); index 4, the blank, means no prefix and
// "u" stands for micro.
inline constexpr char kPrefixTable[] = "pnum kMGTP";
inline constexpr int kPrefixCount = 10;
inline constexpr int kNoPrefix = 4;

// The letter of a prefix index as a one-character text; indexes outside
// the table give the blank.
std::string_view PrefixLetter(int index);

// value x 1000^(index - 4); indexes outside the table count as 4.
double ApplyPrefix(double value, int index);

// Brings value to a mantissa of at least 1 and below 1000 where the table
// allows and returns its prefix index; the sign is kept. 0 (and NaN) stay
// as they are with index 4; values beyond the table keep a larger or
// smaller mantissa at index 9 or 0.
int NormalizePrefix(double& value);

// The normalised value written "%.0f" without a prefix, else "%.3f"
// followed by the prefix letter; always with a decimal point.
std::string FormatWithPrefix(double value);

// The value of a text such as "200m" or "5k": at the first letter of the
// table (in table order) found anywhere in the text, the text is cut there
// and its number scaled by the letter's factor; with no letter the whole
// text is read. Text that is no number reads as 0.
double ParseWithPrefix(std::string_view text);

}  // namespace kvt::functions
