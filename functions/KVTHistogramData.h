#pragma once

#include <array>

namespace kvt::functions {

inline constexpr int kHistogramCapacity = 102400;

// The instrument's histogram as the histogram view draws it. Bins beyond
// binCount are zero.
struct KVTHistogramData {
    int binCount = 0;
    int points = 0;
    int autoRange = 0;
    int firstCount = 0;
    int lastCount = 0;
    double lower = 0;
    double upper = 0;
    std::array<double, kHistogramCapacity> bins{};
};

}  // namespace kvt::functions
