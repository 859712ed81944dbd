// The one conversion of a VISA timeout into a deadline and back into the
// milliseconds the system calls take, at its edges.
#include "visa/Deadline.h"

#include <gtest/gtest.h>

#include <climits>

#include "visa/UsbTransport.h"
#include "visa/UsbtmcControl.h"

namespace kvt::visa {
namespace {

TEST(Deadline, ImmediateIsDueAtOnce) {
    auto deadline = DeadlineAfter(VI_TMO_IMMEDIATE);
    EXPECT_FALSE(IsInfinite(deadline));
    EXPECT_TRUE(Expired(deadline));
    EXPECT_EQ(RemainingMs(deadline, INT_MAX), 0u);
    // A transfer still gets 1 ms: libusb would take 0 as no timeout at all.
    EXPECT_EQ(UsbTimeoutMs(deadline), 1u);
}

TEST(Deadline, InfiniteNeverComes) {
    auto deadline = DeadlineAfter(VI_TMO_INFINITE);
    EXPECT_TRUE(IsInfinite(deadline));
    EXPECT_FALSE(Expired(deadline));
    EXPECT_EQ(RemainingMs(deadline, INT_MAX), static_cast<uint64_t>(INT_MAX));
    EXPECT_EQ(RemainingMs(deadline, 7), 7u);
    EXPECT_EQ(UsbTimeoutMs(deadline), kUsbNoTimeout);
}

TEST(Deadline, HugeFiniteTimeoutsStayFiniteAndWithinTheCeiling) {
    auto deadline = DeadlineAfter(VI_TMO_INFINITE - 1);  // 49 days: not "infinite"
    EXPECT_FALSE(IsInfinite(deadline));
    EXPECT_FALSE(Expired(deadline));
    EXPECT_EQ(RemainingMs(deadline, INT_MAX / 2), static_cast<uint64_t>(INT_MAX / 2));
    uint64_t left = RemainingMs(deadline, UINT64_MAX);
    EXPECT_LE(left, uint64_t{VI_TMO_INFINITE - 1});
    EXPECT_GT(left, uint64_t{VI_TMO_INFINITE - 1} - 60'000);
    // Never the value libusb reads as "no timeout".
    EXPECT_EQ(UsbTimeoutMs(deadline), kUsbNoTimeout - 1);
}

TEST(Deadline, RemainingTimeIsRoundedUp) {
    auto deadline = DeadlineClock::now() + std::chrono::microseconds(100'000'500);
    uint64_t left = RemainingMs(deadline, UINT64_MAX);
    // 100000.5 ms ahead: a wait of 100000 ms would end before the deadline.
    EXPECT_LE(left, 100'001u);
    EXPECT_GE(left, 100'000u - 1'000);
    EXPECT_GT(left * 1000,
              static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                        deadline - DeadlineClock::now())
                                        .count()) -
                  1);
}

TEST(Deadline, PastDeadlinesAreExpired) {
    auto past = DeadlineClock::now() - std::chrono::seconds(1);
    EXPECT_TRUE(Expired(past));
    EXPECT_EQ(RemainingMs(past, INT_MAX), 0u);
    EXPECT_EQ(UsbTimeoutMs(past), 1u);
}

}  // namespace
}  // namespace kvt::visa
