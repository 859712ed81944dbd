#include "functions/PrefixTable.h"

#include <cmath>

#include "link/Numbers.h"

namespace kvt::functions {

namespace {

// Powers of 1000 are exact in double, so scaling by one multiplication or
// division rounds once.
constexpr double kThousandPowers[] = {1.0, 1e3, 1e6, 1e9, 1e12, 1e15};

}  // namespace

double ApplyPrefix(double value, int index) {
    if (index < 0 || index >= kPrefixCount) {
        index = kNoPrefix;
    }
    int steps = index - kNoPrefix;
    if (steps >= 0) {
        return value * kThousandPowers[steps];
    }
    return value / kThousandPowers[-steps];
}

std::string_view PrefixLetter(int index) {
    if (index < 0 || index >= kPrefixCount) {
        index = kNoPrefix;
    }
    return std::string_view(kPrefixTable + index, 1);
}

int NormalizePrefix(double& value) {
    int index = kNoPrefix;
    if (value == 0.0 || std::isnan(value)) {
        return index;
    }
    while (std::fabs(value) >= 1000.0 && index < kPrefixCount - 1) {
        value /= 1000.0;
        ++index;
    }
    while (std::fabs(value) < 1.0 && index > 0) {
        value *= 1000.0;
        --index;
    }
    return index;
}

std::string FormatWithPrefix(double value) {
    int index = NormalizePrefix(value);
    if (index == kNoPrefix) {
        return link::FormatFixed(value, 0);
    }
    return link::FormatFixed(value, 3) + std::string(PrefixLetter(index));
}

double ParseWithPrefix(std::string_view text) {
    for (int index = 0; index < kPrefixCount; ++index) {
        size_t at = text.find(kPrefixTable[index]);
        if (at != std::string_view::npos) {
            return ApplyPrefix(link::ParseNumber(text.substr(0, at)), index);
        }
    }
    return link::ParseNumber(text);
}

}  // namespace kvt::functions
