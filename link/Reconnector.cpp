#include "link/Reconnector.h"

#include <algorithm>
#include <utility>

namespace kvt::link {

Reconnector::Reconnector(Attempt attempt, std::chrono::milliseconds firstPause,
                         std::chrono::milliseconds longestPause)
    : m_attempt(std::move(attempt)), m_firstPause(firstPause), m_longestPause(longestPause) {}

Reconnector::~Reconnector() {
    Cancel();
    Join();
}

std::chrono::milliseconds Reconnector::PauseBefore(int earlier,
                                                   std::chrono::milliseconds firstPause,
                                                   std::chrono::milliseconds longestPause) {
    std::chrono::milliseconds pause = firstPause;
    for (int i = 0; i < earlier && pause < longestPause; ++i) {
        pause *= 2;
    }
    return std::min(pause, longestPause);
}

void Reconnector::SetPauses(std::chrono::milliseconds firstPause,
                            std::chrono::milliseconds longestPause) {
    Cancel();
    Join();
    m_firstPause = firstPause;
    m_longestPause = longestPause;
}

void Reconnector::Begin(int earlier, Listener listener) {
    Cancel();
    Join();
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_cancelled = false;
        m_active = true;
    }
    m_thread = std::thread([this, earlier, listener = std::move(listener)] {
        Run(earlier, listener);
        std::lock_guard<std::mutex> guard(m_mutex);
        m_active = false;
    });
}

void Reconnector::Cancel() {
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        m_cancelled = true;
        m_active = false;
    }
    m_wake.notify_all();
}

void Reconnector::Join() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool Reconnector::IsActive() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_active;
}

void Reconnector::Run(int earlier, const Listener& listener) {
    for (int attempt = 1;; ++attempt) {
        Progress progress;
        progress.attempt = attempt;
        progress.pause = PauseBefore(earlier + attempt - 1, m_firstPause, m_longestPause);
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_cancelled) {
                return;
            }
            progress.step = Step::Waiting;
            lock.unlock();
            if (listener) {
                listener(progress);
            }
            lock.lock();
            if (m_wake.wait_for(lock, progress.pause, [this] { return m_cancelled; })) {
                return;
            }
        }
        progress.step = Step::Trying;
        if (listener) {
            listener(progress);
        }
        const bool opened = m_attempt();
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_cancelled) {
            return;
        }
        if (opened) {
            // Told under the lock, so that a Cancel that returned before
            // never sees a success reported after it.
            m_active = false;
            progress.step = Step::Succeeded;
            if (listener) {
                listener(progress);
            }
            return;
        }
    }
}

}  // namespace kvt::link
