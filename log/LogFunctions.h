#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kvt::logger {

// A measurement function as the command line names it.
struct LogFunction {
    std::string_view shortName;       // "dcv"
    std::string_view instrumentName;  // "VOLT", as the meter and the function set name it
    std::string_view description;     // "DC voltage"
};

// The twelve names, in the order of the meter's function keys (frequency
// and period are one function of the meter, measured two ways).
std::span<const LogFunction> LogFunctions();

// The function with this short name (any case), or null.
const LogFunction* FindLogFunction(std::string_view shortName);

// The entry of ranges ("Auto", "200mV", "2V", ... as a ranged function's
// keys name them) that text asks for: any case, blanks ignored, "ohm" or
// "ohms" for "Ω" ("2k", "2kohm" and "2KΩ" ask for the same). Nothing when
// none matches.
std::optional<std::string> MatchRange(const std::vector<std::string>& ranges,
                                      std::string_view text);

}  // namespace kvt::logger
