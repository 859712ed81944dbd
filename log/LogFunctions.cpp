#include "log/LogFunctions.h"

#include <array>
#include <cctype>

namespace kvt::logger {
namespace {

constexpr std::array<LogFunction, 12> kFunctions{{
    {"dcv", "VOLT", "DC voltage"},
    {"dci", "CURR", "DC current"},
    {"acv", "VOLT:AC", "AC voltage"},
    {"aci", "CURR:AC", "AC current"},
    {"res", "RES", "resistance, two wires"},
    {"fres", "FRES", "resistance, four wires"},
    {"cap", "CAP", "capacitance"},
    {"freq", "FREQ", "frequency"},
    {"per", "PER", "period"},
    {"cont", "CONT", "continuity"},
    {"diode", "DIOD", "diode"},
    {"temp", "TEMP", "temperature"},
}};

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// Lower case, without blanks and without the ohm sign or word, so that
// the ways of writing one range compare equal.
std::string RangeKey(std::string_view text) {
    std::string key;
    for (char c : text) {
        if (!std::isspace(static_cast<unsigned char>(c))) {
            key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    for (std::string_view ohm : {"ohms", "ohm", "\u03a9"}) {
        if (key.size() >= ohm.size() &&
            key.compare(key.size() - ohm.size(), ohm.size(), ohm) == 0) {
            key.erase(key.size() - ohm.size());
            break;
        }
    }
    return key;
}

}  // namespace

std::span<const LogFunction> LogFunctions() {
    return kFunctions;
}

const LogFunction* FindLogFunction(std::string_view shortName) {
    for (const LogFunction& function : kFunctions) {
        if (SameLetters(function.shortName, shortName)) {
            return &function;
        }
    }
    return nullptr;
}

std::optional<std::string> MatchRange(const std::vector<std::string>& ranges,
                                      std::string_view text) {
    const std::string wanted = RangeKey(text);
    if (wanted.empty()) {
        return std::nullopt;
    }
    for (const std::string& range : ranges) {
        if (RangeKey(range) == wanted) {
            return range;
        }
    }
    return std::nullopt;
}

}  // namespace kvt::logger
