#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kvt::functions {

// The thread of one function's reading worker and its cooperative
// suspension. The function's lock is shared with the worker's body: the
// body holds it for a whole cycle and calls WaitForTurn at the top of each
// cycle, where a suspension, a waiting settings command or a stop request
// makes it wait without the lock. So a worker is never halted inside a
// cycle, and a settings command waits at most for the cycle under way.
class CReadingWorker {
public:
    explicit CReadingWorker(std::recursive_mutex& lock) : m_lock(lock) {}
    ~CReadingWorker() { Stop(); }
    CReadingWorker(const CReadingWorker&) = delete;
    CReadingWorker& operator=(const CReadingWorker&) = delete;

    // Starts a new thread running body, suspended until Resume. A previous
    // thread is joined first (stopped first if it still runs).
    std::thread::id Create(std::function<void()> body);

    // Takes the lock (so the worker is between cycles), counts one
    // suspension and releases it.
    void Suspend();
    // Clears every suspension and wakes the worker.
    void Resume();
    // Tells the worker to stop, wakes it and joins it. Sends nothing; a
    // cycle under way is finished first unless the body checks
    // StopRequested between its steps.
    void Stop();

    // Called by the body at the top of each cycle with the lock held:
    // waits while suspended or while a settings command waits for the
    // lock. False when the worker is to stop.
    bool WaitForTurn(std::unique_lock<std::recursive_mutex>& lock);
    bool StopRequested() const { return m_stop.load(); }

    // No thread, or its body has returned: the next start needs a new one.
    bool HasEnded() const { return !m_running.load(); }
    // Waits until the body has returned; false at the timeout.
    bool WaitUntilEnded(std::chrono::milliseconds timeout);
    // Counts the threads created so far; tells a resumed worker from a new one.
    unsigned Generation() const { return m_generation.load(); }
    int SuspendCount() const;

    // Takes the lock for a settings command from another thread, ahead
    // of the worker's next cycle.
    void LockForCommand();
    void UnlockAfterCommand();

    // Scoped LockForCommand / UnlockAfterCommand.
    class CommandLock {
    public:
        explicit CommandLock(CReadingWorker& worker) : m_worker(worker) {
            m_worker.LockForCommand();
        }
        ~CommandLock() { m_worker.UnlockAfterCommand(); }
        CommandLock(const CommandLock&) = delete;
        CommandLock& operator=(const CommandLock&) = delete;

    private:
        CReadingWorker& m_worker;
    };

private:
    void JoinEnded();

    std::recursive_mutex& m_lock;
    std::condition_variable_any m_wake;
    std::thread m_thread;
    int m_suspendCount = 0;  // guarded by m_lock
    std::atomic<int> m_commandsWaiting{0};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::mutex m_endMutex;
    std::condition_variable m_ended;
    std::atomic<unsigned> m_generation{0};
};

}  // namespace kvt::functions
