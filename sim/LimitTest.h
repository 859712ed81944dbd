#pragma once

#include <cstdint>

namespace kvt::sim {

// Limit testing: while on, readings outside [lower, upper] are counted as
// failures.
class LimitTest {
public:
    static constexpr double kMaxMagnitude = 1e15;

    void Reset() { *this = LimitTest(); }
    void Check(double value) {
        if (state && (value < lower || value > upper)) {
            ++failures;
        }
    }

    bool state = false;
    double lower = -1;
    double upper = 1;
    uint64_t failures = 0;
};

}  // namespace kvt::sim
