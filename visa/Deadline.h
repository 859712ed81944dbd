#pragma once

#include <chrono>
#include <cstdint>

#include "visa/visa.h"

namespace kvt::visa {

// A VISA timeout turned into the point in time by which a call must end,
// and back into the milliseconds that the system calls take. Every
// transport uses these, so that all agree on when time is up and on what
// VI_TMO_INFINITE means.
using DeadlineClock = std::chrono::steady_clock;

// now + timeoutMs; VI_TMO_INFINITE gives a deadline that never comes
// (time_point::max()). VI_TMO_IMMEDIATE (0) is due at once.
DeadlineClock::time_point DeadlineAfter(ViUInt32 timeoutMs);

bool IsInfinite(DeadlineClock::time_point deadline);

// Whether the deadline has come; an infinite one never does.
bool Expired(DeadlineClock::time_point deadline);

// Milliseconds until the deadline, rounded up so that a wait for them does
// not end early; 0 once it has come; never more than `ceiling`, which an
// infinite deadline gives.
uint64_t RemainingMs(DeadlineClock::time_point deadline, uint64_t ceiling);

}  // namespace kvt::visa
