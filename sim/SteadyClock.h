#pragma once

#include "sim/Clock.h"

namespace kvt::sim {

// The production clock: std::chrono::steady_clock.
class SteadyClock : public Clock {
public:
    std::chrono::nanoseconds Now() const override;
};

}  // namespace kvt::sim
