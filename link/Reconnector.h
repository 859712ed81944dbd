#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace kvt::link {

// Tries again and again, on a thread of its own, to reopen the instrument
// after it stopped answering: a pause, an attempt, a longer pause, ... up
// to a longest pause, until an attempt succeeds or Cancel is called. What
// an attempt does (open the same resource) and what follows a success
// (follow the meter's function, restart the readings) are the caller's.
class Reconnector {
public:
    static constexpr std::chrono::milliseconds kFirstPause{500};
    static constexpr std::chrono::milliseconds kLongestPause{30000};

    enum class Step {
        Waiting,    // pausing before the attempt
        Trying,     // the attempt is under way
        Succeeded,  // the attempt opened the instrument; no more attempts
    };
    struct Progress {
        Step step = Step::Waiting;
        int attempt = 0;                     // counted from 1 since Begin
        std::chrono::milliseconds pause{0};  // before this attempt
    };

    // True when the instrument is open again.
    using Attempt = std::function<bool()>;
    // Told of each step, on the reconnector's thread; must not call back
    // into the reconnector.
    using Listener = std::function<void(const Progress&)>;

    explicit Reconnector(Attempt attempt, std::chrono::milliseconds firstPause = kFirstPause,
                         std::chrono::milliseconds longestPause = kLongestPause);
    // Cancels and waits for the thread.
    ~Reconnector();
    Reconnector(const Reconnector&) = delete;
    Reconnector& operator=(const Reconnector&) = delete;

    // The pause before the attempt after `earlier` attempts: the first
    // pause, doubled each time, at most the longest.
    static std::chrono::milliseconds PauseBefore(int earlier, std::chrono::milliseconds firstPause,
                                                 std::chrono::milliseconds longestPause);

    // Changes the pauses for the next Begin.
    void SetPauses(std::chrono::milliseconds firstPause, std::chrono::milliseconds longestPause);

    // Starts the attempts as if `earlier` had already failed (so that a
    // meter that drops again at once is not hammered). A previous run is
    // cancelled and waited for first.
    void Begin(int earlier, Listener listener);
    // Ends the attempts without waiting: a pause ends at once, an attempt
    // under way is finished but its success is not reported. The caller
    // closes what that attempt may have opened.
    void Cancel();
    // Waits until the thread has ended (after Cancel, at most one attempt).
    void Join();
    // Between Begin and a success, Cancel or the end of the thread.
    bool IsActive() const;

private:
    void Run(int earlier, const Listener& listener);

    Attempt m_attempt;
    std::chrono::milliseconds m_firstPause;
    std::chrono::milliseconds m_longestPause;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::thread m_thread;
    bool m_cancelled = false;  // guarded by m_mutex
    bool m_active = false;     // guarded by m_mutex
};

}  // namespace kvt::link
