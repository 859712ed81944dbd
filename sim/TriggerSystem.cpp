#include "sim/TriggerSystem.h"

#include <algorithm>

namespace kvt::sim {

void TriggerSystem::Reset() {
    *this = TriggerSystem();
}

TriggerSystem::Nanos TriggerSystem::Delay() const {
    if (autoDelay) {
        return Nanos(0);  // the input settles within the reading time
    }
    return std::chrono::duration_cast<Nanos>(std::chrono::duration<double>(delaySeconds));
}

void TriggerSystem::Initiate(Nanos now, Nanos readingTime, uint32_t bursts) {
    running_ = true;
    endless_ = bursts == 0;
    remaining_ = bursts;
    sampleIndex_ = 0;
    next_ = now + Delay() + readingTime;
}

void TriggerSystem::Restart(Nanos now, Nanos readingTime) {
    if (running_) {
        next_ = now + (sampleIndex_ == 0 ? Delay() : Nanos(0)) + readingTime;
    }
}

bool TriggerSystem::PopDue(Nanos now, Nanos readingTime, Nanos& when) {
    if (!running_ || next_ > now) {
        return false;
    }
    when = next_;
    ++sampleIndex_;
    if (sampleIndex_ < sampleCount) {
        next_ += readingTime;
        return true;
    }
    sampleIndex_ = 0;
    if (!endless_ && --remaining_ == 0) {
        running_ = false;
        return true;
    }
    next_ += Delay() + readingTime;
    return true;
}

uint64_t TriggerSystem::SkipBacklog(Nanos now, Nanos readingTime, uint64_t keep) {
    if (!running_ || next_ > now || sampleIndex_ != 0) {
        return 0;
    }
    Nanos burst = Delay() + readingTime * sampleCount;
    Nanos backlog = now - next_;
    Nanos keepTime = readingTime * static_cast<int64_t>(keep);
    if (burst.count() <= 0 || backlog <= keepTime + burst) {
        return 0;
    }
    int64_t bursts = (backlog - keepTime) / burst;
    if (!endless_) {
        // Keep the last burst so that the measurement ends the normal way.
        bursts = std::min<int64_t>(bursts, static_cast<int64_t>(remaining_) - 1);
        if (bursts <= 0) {
            return 0;
        }
        remaining_ -= static_cast<uint32_t>(bursts);
    }
    next_ += burst * bursts;
    return static_cast<uint64_t>(bursts) * sampleCount;
}

}  // namespace kvt::sim
