#pragma once

#include <string>

namespace kvt::functions {

// How a reading text becomes the eight-character main display: the factor
// that brings the reading into the range's unit and the number of integer
// digits the range shows.
struct DisplayScale {
    double multiplier = 1;
    double divisor = 1;
    int digits = 0;
};

// The placeholder and "Overload" unchanged; otherwise the reading brought
// into the range's unit, signed, zero-padded after the sign to the integer
// digits (when it has fewer) and cut to eight characters.
std::string PaddedReadingText(const std::string& reading, const DisplayScale& scale);

// A dB or dBm reading: the placeholder and "Overload" unchanged, otherwise
// the first seven characters.
std::string ScaledReadingText(const std::string& reading);

// The number of decimal digits at the front of a range text ("200uA" 3).
int LeadingDigits(const std::string& range);

}  // namespace kvt::functions
