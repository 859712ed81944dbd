#include "sim/SteadyClock.h"

namespace kvt::sim {

std::chrono::nanoseconds SteadyClock::Now() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace kvt::sim
