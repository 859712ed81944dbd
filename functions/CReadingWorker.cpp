#include "functions/CReadingWorker.h"

#include <utility>

namespace kvt::functions {

std::thread::id CReadingWorker::Create(std::function<void()> body) {
    if (!HasEnded()) {
        Stop();
    }
    JoinEnded();
    {
        std::lock_guard<std::recursive_mutex> guard(m_lock);
        m_suspendCount = 1;
        m_stop.store(false);
        m_running.store(true);
    }
    m_generation.fetch_add(1);
    m_thread = std::thread([this, run = std::move(body)] {
        run();
        std::lock_guard<std::mutex> ending(m_endMutex);
        m_running.store(false);
        m_ended.notify_all();
    });
    return m_thread.get_id();
}

void CReadingWorker::Suspend() {
    LockForCommand();
    ++m_suspendCount;
    UnlockAfterCommand();
}

void CReadingWorker::Resume() {
    LockForCommand();
    m_suspendCount = 0;
    UnlockAfterCommand();
}

void CReadingWorker::Stop() {
    // Set before the lock is taken, so that a cycle under way ends at its
    // next step instead of holding the lock to its end; the lock is then
    // taken and released so that the wake-up below cannot come between the
    // worker's test of the flag and its wait.
    m_stop.store(true);
    { std::lock_guard<std::recursive_mutex> guard(m_lock); }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CReadingWorker::JoinEnded() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CReadingWorker::WaitForTurn(std::unique_lock<std::recursive_mutex>& lock) {
    m_wake.wait(lock, [this] {
        return m_stop.load() || (m_suspendCount == 0 && m_commandsWaiting.load() == 0);
    });
    return !m_stop.load();
}

bool CReadingWorker::WaitUntilEnded(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> waiting(m_endMutex);
    return m_ended.wait_for(waiting, timeout, [this] { return !m_running.load(); });
}

int CReadingWorker::SuspendCount() const {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    return m_suspendCount;
}

void CReadingWorker::LockForCommand() {
    m_commandsWaiting.fetch_add(1);
    m_lock.lock();
    m_commandsWaiting.fetch_sub(1);
}

void CReadingWorker::UnlockAfterCommand() {
    m_lock.unlock();
    m_wake.notify_all();
}

}  // namespace kvt::functions
