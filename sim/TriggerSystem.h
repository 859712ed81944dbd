#pragma once

#include <chrono>
#include <cstdint>

namespace kvt::sim {

// When readings are taken: each trigger (immediate, after the trigger delay)
// starts a burst of `samples` readings, one per reading time, and
// `triggers` bursts make one initiated measurement (0: without end).
class TriggerSystem {
public:
    using Nanos = std::chrono::nanoseconds;

    static constexpr uint32_t kMaxCount = 50000;
    static constexpr double kMaxDelaySeconds = 3600;

    void Reset();

    // Starts a measurement of `bursts` triggers (0: without end); the first
    // reading is due one reading time after the trigger delay.
    void Initiate(Nanos now, Nanos readingTime, uint32_t bursts);
    // A setting changed mid-measurement: the reading in progress starts over.
    void Restart(Nanos now, Nanos readingTime);
    void Abort() { m_running = false; }
    bool Running() const { return m_running; }

    // The time of the next reading due at `now`, advancing past it; false
    // when none is due.
    bool PopDue(Nanos now, Nanos readingTime, Nanos& when);
    // Leaves out whole bursts so that at most about `keep` readings remain
    // due at `now`; returns how many readings were left out.
    uint64_t SkipBacklog(Nanos now, Nanos readingTime, uint64_t keep);

    uint32_t triggerCount = 0;  // 0: infinite
    uint32_t sampleCount = 1;
    double delaySeconds = 0;
    bool autoDelay = true;
    bool positiveSlope = false;

private:
    Nanos Delay() const;

    bool m_running = false;
    bool m_endless = false;
    uint32_t m_remaining = 0;  // bursts left; unused while infinite
    uint32_t m_sampleIndex = 0;
    Nanos m_next{0};
};

}  // namespace kvt::sim
