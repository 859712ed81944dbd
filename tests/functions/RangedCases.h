#pragma once

#include <array>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "functions/CKVTRangedFunction.h"

namespace kvt::test {

using Page = std::array<std::string, 6>;

// What one ranged function must show and send, written out key by key.
struct RangedCase {
    const char* label;  // test name suffix
    std::function<std::unique_ptr<functions::CKVTRangedFunction>(functions::IFrontPanelServices*)>
        make;
    const char* title;
    const char* instrumentName;  // function-select name
    const char* baseUnit;
    const char* root;  // command root of speed, filter and null
    const char* defaultRange;
    const char* defaultUnitLabel;
    // Main page: titles; list pages: key texts; positions 0 to 5.
    Page mainPage;
    Page rangePage1;
    Page rangePage2;  // all empty for a one-page list
    Page speedPage;   // all empty without speed
    // Item ids at positions 0 to 5 (0 for an empty position).
    std::array<int, 6> mainIds;
    std::array<int, 6> rangePage1Ids;
    std::array<int, 6> rangePage2Ids;
    std::array<int, 6> speedIds;
    // Range choices, "Auto" first, with the command each sends.
    std::vector<int> rangeChoiceIds;
    std::vector<std::string> rangeCommands;
    bool hasFilter;
    // The speed key's subtitle before the main menu is first shown.
    const char* initialSpeedSubtitle;
};

const std::vector<RangedCase>& RangedCases();

// The key texts (list pages) or titles (main page) at positions 0 to 5.
Page ShownPage(const functions::CKVTFunction& function);
// The item ids at positions 0 to 5, 0 where nothing is shown.
std::array<int, 6> ShownIds(const functions::CKVTFunction& function);

inline void PrintTo(const RangedCase& c, std::ostream* out) {
    *out << c.label;
}

}  // namespace kvt::test
