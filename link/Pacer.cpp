#include "link/Pacer.h"

#include <atomic>
#include <thread>
#include <utility>

namespace kvt::link {
namespace {

SleepingPacer& ProductionPacer() {
    static SleepingPacer pacer;
    return pacer;
}

std::atomic<IPacer*>& InstalledPacer() {
    static std::atomic<IPacer*> pacer{nullptr};
    return pacer;
}

}  // namespace

void SleepingPacer::Pause(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

void RecordingPacer::Pause(std::chrono::milliseconds duration) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pauses.push_back(duration);
    if (m_observer) {
        m_observer(duration);
    }
}

void RecordingPacer::SetObserver(Observer observer) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_observer = std::move(observer);
}

std::vector<std::chrono::milliseconds> RecordingPacer::Pauses() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pauses;
}

void RecordingPacer::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pauses.clear();
}

IPacer& CurrentPacer() {
    IPacer* installed = InstalledPacer().load(std::memory_order_acquire);
    if (installed != nullptr) {
        return *installed;
    }
    return ProductionPacer();
}

void InstallPacer(IPacer* pacer) {
    InstalledPacer().store(pacer, std::memory_order_release);
}

void Pause(std::chrono::milliseconds duration) {
    CurrentPacer().Pause(duration);
}

}  // namespace kvt::link
