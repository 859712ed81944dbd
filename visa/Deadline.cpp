#include "visa/Deadline.h"

#include <algorithm>

namespace kvt::visa {

DeadlineClock::time_point DeadlineAfter(ViUInt32 timeoutMs) {
    if (timeoutMs == VI_TMO_INFINITE) {
        return DeadlineClock::time_point::max();
    }
    return DeadlineClock::now() + std::chrono::milliseconds(timeoutMs);
}

bool IsInfinite(DeadlineClock::time_point deadline) {
    return deadline == DeadlineClock::time_point::max();
}

bool Expired(DeadlineClock::time_point deadline) {
    return !IsInfinite(deadline) && DeadlineClock::now() >= deadline;
}

uint64_t RemainingMs(DeadlineClock::time_point deadline, uint64_t ceiling) {
    if (IsInfinite(deadline)) {
        return ceiling;
    }
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - DeadlineClock::now());
    if (left.count() <= 0) {
        return 0;
    }
    return std::min(static_cast<uint64_t>(left.count()), ceiling);
}

}  // namespace kvt::visa
