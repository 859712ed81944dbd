#pragma once

#include <string>
#include <string_view>

#include "functions/ReadingDisplay.h"

namespace kvt::functions {

// Unit labels and display scaling shared by DC and AC current; suffix is
// "DC" or "AC".

// "uA" (when the function has microamp ranges), "mA" or "A" followed by
// the suffix, after the first of these the range text contains; the
// current label when it contains none.
std::string CurrentUnitLabel(const std::string& range, std::string_view suffix, bool withMicroamps,
                             const std::string& current);

// Microamps and milliamps are shown scaled with the range's digits less
// the two unit letters; amps unscaled, less the one letter.
DisplayScale CurrentDisplayScale(const std::string& range, const std::string& unitLabel,
                                 std::string_view suffix);

}  // namespace kvt::functions
