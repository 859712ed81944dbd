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
    m_running = true;
    m_endless = bursts == 0;
    m_remaining = bursts;
    m_sampleIndex = 0;
    m_next = now + Delay() + readingTime;
}

void TriggerSystem::Restart(Nanos now, Nanos readingTime) {
    if (m_running) {
        m_next = now + (m_sampleIndex == 0 ? Delay() : Nanos(0)) + readingTime;
    }
}

bool TriggerSystem::PopDue(Nanos now, Nanos readingTime, Nanos& when) {
    if (!m_running || m_next > now) {
        return false;
    }
    when = m_next;
    ++m_sampleIndex;
    if (m_sampleIndex < sampleCount) {
        m_next += readingTime;
        return true;
    }
    m_sampleIndex = 0;
    if (!m_endless && --m_remaining == 0) {
        m_running = false;
        return true;
    }
    m_next += Delay() + readingTime;
    return true;
}

uint64_t TriggerSystem::SkipBacklog(Nanos now, Nanos readingTime, uint64_t keep) {
    if (!m_running || m_next > now || m_sampleIndex != 0) {
        return 0;
    }
    Nanos burst = Delay() + readingTime * sampleCount;
    Nanos backlog = now - m_next;
    Nanos keepTime = readingTime * static_cast<int64_t>(keep);
    if (burst.count() <= 0 || backlog <= keepTime + burst) {
        return 0;
    }
    int64_t bursts = (backlog - keepTime) / burst;
    if (!m_endless) {
        // Keep the last burst so that the measurement ends the normal way.
        bursts = std::min<int64_t>(bursts, static_cast<int64_t>(m_remaining) - 1);
        if (bursts <= 0) {
            return 0;
        }
        m_remaining -= static_cast<uint32_t>(bursts);
    }
    m_next += burst * bursts;
    return static_cast<uint64_t>(bursts) * sampleCount;
}

}  // namespace kvt::sim
