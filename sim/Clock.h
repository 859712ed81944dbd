#pragma once

#include <chrono>

namespace kvt::sim {

// The time base of the simulated meter. Readings are scheduled on it, so a
// test can drive the meter with a clock it advances by hand.
class Clock {
public:
    virtual ~Clock() = default;

    // Time since an arbitrary, fixed origin; never goes backwards.
    virtual std::chrono::nanoseconds Now() const = 0;
};

}  // namespace kvt::sim
