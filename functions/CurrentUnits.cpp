#include "functions/CurrentUnits.h"

namespace kvt::functions {
namespace {

bool Contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

std::string Join(std::string_view unit, std::string_view suffix) {
    return std::string(unit) + std::string(suffix);
}

}  // namespace

std::string CurrentUnitLabel(const std::string& range, std::string_view suffix, bool withMicroamps,
                             const std::string& current) {
    if (withMicroamps && Contains(range, "uA")) {
        return Join("uA", suffix);
    }
    if (Contains(range, "mA")) {
        return Join("mA", suffix);
    }
    if (Contains(range, "A")) {
        return Join("A", suffix);
    }
    return current;
}

DisplayScale CurrentDisplayScale(const std::string& range, const std::string& unitLabel,
                                 std::string_view suffix) {
    int length = static_cast<int>(range.size());
    if (unitLabel == Join("uA", suffix)) {
        return {1000000, 1, length - 2};
    }
    if (unitLabel == Join("mA", suffix)) {
        return {1000, 1, length - 2};
    }
    return {1, 1, length - 1};
}

}  // namespace kvt::functions
