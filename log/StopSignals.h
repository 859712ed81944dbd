#pragma once

#include <chrono>
#include <string>

namespace kvt::logger {

// Ctrl-C (SIGINT), SIGTERM and SIGHUP (unless ignored, as under nohup)
// received as events rather than handlers: they are blocked in the calling
// thread, and so in every thread it starts afterwards, and read from a
// descriptor by Wait. Any thread may wake Wait early.
class StopSignals {
public:
    StopSignals() = default;
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Call before any other thread starts. False, with the reason, when the
    // descriptors could not be made.
    bool Install(std::string& error);

    // Waits up to timeout. Returns the stop signal received (SIGINT, ...),
    // or 0 after the timeout or a Wake.
    int Wait(std::chrono::milliseconds timeout);

    // Any thread, never blocks: the current or next Wait returns at once.
    void Wake();

private:
    int m_signalFd = -1;
    int m_wakeFd = -1;
};

}  // namespace kvt::logger
