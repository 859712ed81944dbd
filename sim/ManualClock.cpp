#include "sim/ManualClock.h"

namespace kvt::sim {

std::chrono::nanoseconds ManualClock::Now() const {
    return std::chrono::nanoseconds(m_now.load(std::memory_order_acquire));
}

void ManualClock::Advance(std::chrono::nanoseconds step) {
    if (step.count() > 0) {
        m_now.fetch_add(step.count(), std::memory_order_acq_rel);
    }
}

}  // namespace kvt::sim
