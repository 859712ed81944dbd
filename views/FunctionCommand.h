#pragma once

#include <chrono>
#include <functional>

namespace kvt::functions {
class IFrontPanelServices;
}

namespace kvt::views {

// The settle pause after each command a view sends.
inline constexpr std::chrono::milliseconds kCommandPause{100};

// Sends a view's command the way the functions send their settings: under
// the current function's lock (so it never lands inside a reading cycle),
// followed by the settle pause, then the lock is released. The command is
// one exchange sequence: it ends at its first failed exchange, and then
// takes no settle pause. With no panel or no current function nothing is
// sent and the result is false.
bool SendUnderFunctionLock(functions::IFrontPanelServices* panel,
                           const std::function<void()>& send);

}  // namespace kvt::views
