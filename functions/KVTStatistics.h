#pragma once

#include <cstdint>
#include <string>

namespace kvt::functions {

// The instrument's statistics as the statistics view shows them: each text
// is the instrument's field as it stands, or "Overload".
struct KVTStatistics {
    std::string minimum;
    std::string average;
    std::string maximum;
    std::string span;
    std::string standardDeviation;
    int32_t count = 0;

    bool operator==(const KVTStatistics&) const = default;
};

}  // namespace kvt::functions
