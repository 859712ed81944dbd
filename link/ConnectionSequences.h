#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace kvt::link {

// Building blocks of the connect and disconnect sequences; the front panel
// runs them on its own thread. Each command goes out on its own: another
// thread's command may fall between them.

// Time the trigger count needs before the measurement is started.
inline constexpr std::chrono::milliseconds kStartupTriggerPause{50};
// Time the instrument needs to switch function before its settings are read.
inline constexpr std::chrono::milliseconds kFunctionSettlePause{1000};

// After connecting: asks for the current function, sets an infinite
// trigger count, pauses (not when the caller's exchange sequence has
// failed), starts measuring. Returns the function name (empty when the
// instrument did not answer).
std::string StartMeasuring();

// Switches the instrument to the named function and waits for it to
// settle (not when the caller's exchange sequence has failed). Sends
// nothing and returns false while the connection is closed.
bool SelectFunction(std::string_view name);

// Before disconnecting: the key code that returns the instrument to local
// control, with its pause.
void ReleaseInstrument();

}  // namespace kvt::link
