#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

#include "sim/Clock.h"

namespace kvt::sim {

// A clock that only moves when told to; for tests. Thread-safe.
class ManualClock : public Clock {
public:
    std::chrono::nanoseconds Now() const override;

    // Moves the clock forward; a negative step is ignored.
    void Advance(std::chrono::nanoseconds step);

private:
    std::atomic<int64_t> m_now{0};
};

}  // namespace kvt::sim
