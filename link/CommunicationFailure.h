#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

namespace kvt::link {

// The one message the instrument link raises: a read from the instrument
// failed. The link itself shows nothing; the user interface installs a
// handler that shows it (on its own thread, one box at a time).
inline constexpr std::string_view kCommunicationFailureText = "通信失败,请检查设备是否连接正常";
inline constexpr std::string_view kCommunicationFailureTitle = "Error";

using CommunicationFailureHandler =
    std::function<void(std::string_view text, std::string_view title)>;

// Installs the handler (an empty function removes it). Thread-safe.
void SetCommunicationFailureHandler(CommunicationFailureHandler handler);

// Counts one failure and calls the installed handler with the text and
// title above, if there is one. Callers must not hold the connection lock.
void ReportCommunicationFailure();

// The two halves of ReportCommunicationFailure, for the connection: it
// counts a failed exchange while it still holds its lock (so that an
// exchange waiting for the lock sees the failure) and shows it after.
void CountCommunicationFailure();
void ShowCommunicationFailure();

// How many failures were reported so far in the process (thread-safe).
uint64_t CommunicationFailureCount();

// Tells whether a failure was reported since it was made: a reading cycle
// makes one at its start and stops at the first failed exchange instead of
// waiting out the timeout of every query left in the cycle.
class FailureWatch {
public:
    FailureWatch() : m_start(CommunicationFailureCount()) {}
    bool Failed() const { return CommunicationFailureCount() != m_start; }

private:
    uint64_t m_start;
};

}  // namespace kvt::link
