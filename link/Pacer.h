#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace kvt::link {

// The one place where the instrument protocol waits: the pause between a
// query's write and read, the pause after a key code, the settle and
// start-up pauses. Production sleeps; tests install a recording pacer.
class IPacer {
public:
    virtual void Pause(std::chrono::milliseconds duration) = 0;

protected:
    ~IPacer() = default;
};

// Sleeps for the whole duration.
class SleepingPacer final : public IPacer {
public:
    void Pause(std::chrono::milliseconds duration) override;
};

// Returns at once and remembers every pause asked for, in order.
// Thread-safe: workers and the caller's thread may pause at the same time.
class RecordingPacer final : public IPacer {
public:
    using Observer = std::function<void(std::chrono::milliseconds duration)>;

    void Pause(std::chrono::milliseconds duration) override;

    std::vector<std::chrono::milliseconds> Pauses() const;
    void Clear();
    // Also tells observer of each pause, in the order recorded (so that a
    // test can place the pauses among the messages the instrument saw).
    // An empty observer stops that.
    void SetObserver(Observer observer);

private:
    mutable std::mutex m_mutex;
    std::vector<std::chrono::milliseconds> m_pauses;
    Observer m_observer;
};

// The pacer every pause of the program goes through. Until one is
// installed (or after installing nullptr) this is a SleepingPacer.
IPacer& CurrentPacer();

// Installs a pacer for the whole process; the caller keeps it alive while
// installed. nullptr restores the sleeping pacer.
void InstallPacer(IPacer* pacer);

// Shorthand for CurrentPacer().Pause(duration).
void Pause(std::chrono::milliseconds duration);

}  // namespace kvt::link
