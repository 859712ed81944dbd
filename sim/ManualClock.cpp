#include "sim/ManualClock.h"

namespace kvt::sim {

std::chrono::nanoseconds ManualClock::Now() const {
    return std::chrono::nanoseconds(now_.load(std::memory_order_acquire));
}

void ManualClock::Advance(std::chrono::nanoseconds step) {
    if (step.count() > 0) {
        now_.fetch_add(step.count(), std::memory_order_acq_rel);
    }
}

}  // namespace kvt::sim
