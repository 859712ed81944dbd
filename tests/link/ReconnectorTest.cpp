// Bringing the meter back: the schedule of pauses, attempts until one
// opens, Cancel that ends a pause at once and drops an attempt's success,
// and the connection's own part: the resource actually opened, and an
// open that a close overtook leaves nothing open.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

#include "link/Reconnector.h"
#include "tests/link/LinkFixture.h"
#include "visa/Simulation.h"

namespace kvt::test {
namespace {

using link::Reconnector;
using std::chrono::milliseconds;
constexpr std::chrono::seconds kWait{20};

TEST(ReconnectorPauses, DoubleFromTheFirstUpToTheLongest) {
    const std::vector<long long> expected{500, 1000, 2000, 4000, 8000, 16000, 30000, 30000};
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(Reconnector::PauseBefore(static_cast<int>(i), Reconnector::kFirstPause,
                                           Reconnector::kLongestPause)
                      .count(),
                  expected[i])
            << i;
    }
    EXPECT_EQ(Reconnector::PauseBefore(1000, milliseconds(1), milliseconds(7)).count(), 7);
    EXPECT_EQ(Reconnector::PauseBefore(0, milliseconds(0), milliseconds(0)).count(), 0);
}

// What a reconnector told its listener, with a wait for a step.
class Steps {
public:
    Reconnector::Listener Listener() {
        return [this](const Reconnector::Progress& progress) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_steps.push_back(progress);
            m_changed.notify_all();
        };
    }
    bool WaitFor(Reconnector::Step step, int attempt) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kWait, [&] {
            for (const Reconnector::Progress& p : m_steps) {
                if (p.step == step && p.attempt == attempt) {
                    return true;
                }
            }
            return false;
        });
    }
    std::vector<Reconnector::Progress> Taken() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_steps;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Reconnector::Progress> m_steps;
};

TEST(ReconnectorRuns, AttemptsUntilOneOpensWithGrowingPauses) {
    std::atomic<int> attempts{0};
    Reconnector reconnector([&] { return ++attempts == 4; }, milliseconds(1), milliseconds(5));
    Steps steps;
    reconnector.Begin(0, steps.Listener());
    ASSERT_TRUE(steps.WaitFor(Reconnector::Step::Succeeded, 4));
    reconnector.Join();
    EXPECT_FALSE(reconnector.IsActive());
    EXPECT_EQ(attempts.load(), 4);
    std::vector<long long> pauses;
    std::vector<Reconnector::Step> order;
    for (const Reconnector::Progress& p : steps.Taken()) {
        order.push_back(p.step);
        if (p.step == Reconnector::Step::Waiting) {
            pauses.push_back(p.pause.count());
        }
    }
    EXPECT_EQ(pauses, (std::vector<long long>{1, 2, 4, 5}));
    using S = Reconnector::Step;
    EXPECT_EQ(order, (std::vector<S>{S::Waiting, S::Trying, S::Waiting, S::Trying, S::Waiting,
                                     S::Trying, S::Waiting, S::Trying, S::Succeeded}));

    // Begun as if two attempts had failed already: the third pause first.
    Steps again;
    attempts = 3;
    reconnector.Begin(2, again.Listener());
    ASSERT_TRUE(again.WaitFor(Reconnector::Step::Succeeded, 1));
    EXPECT_EQ(again.Taken().front().pause.count(), 4);
}

TEST(ReconnectorRuns, CancelEndsALongPauseAtOnce) {
    std::atomic<int> attempts{0};
    Reconnector reconnector(
        [&] {
            ++attempts;
            return true;
        },
        std::chrono::hours(1), std::chrono::hours(1));
    Steps steps;
    reconnector.Begin(0, steps.Listener());
    ASSERT_TRUE(steps.WaitFor(Reconnector::Step::Waiting, 1));
    EXPECT_TRUE(reconnector.IsActive());
    // Without Cancel, Join would wait the hour out.
    reconnector.Cancel();
    EXPECT_FALSE(reconnector.IsActive());
    reconnector.Join();
    EXPECT_EQ(attempts.load(), 0);
    EXPECT_EQ(steps.Taken().size(), 1u);
}

TEST(ReconnectorRuns, AnAttemptUnderWayWhenCancelledIsNotReportedAsASuccess) {
    std::promise<void> entered;
    std::promise<bool> result;
    std::shared_future<bool> outcome = result.get_future().share();
    Reconnector reconnector(
        [&] {
            entered.set_value();
            return outcome.get();
        },
        milliseconds(0), milliseconds(0));
    Steps steps;
    reconnector.Begin(0, steps.Listener());
    ASSERT_EQ(entered.get_future().wait_for(kWait), std::future_status::ready);
    reconnector.Cancel();
    result.set_value(true);  // the attempt opened, too late
    reconnector.Join();
    for (const Reconnector::Progress& p : steps.Taken()) {
        EXPECT_NE(p.step, Reconnector::Step::Succeeded);
    }
    EXPECT_FALSE(reconnector.IsActive());
}

using ConnectionReopen = LinkFixture;

TEST_F(ConnectionReopen, TheResourceOpenedIsKeptForTheNextOpen) {
    link::CConectWithNI connection;
    EXPECT_EQ(connection.OpenedResource(), "");
    // A search expression: the resource it found, by which a USB meter is
    // found again under its serial number.
    ASSERT_TRUE(connection.Open("USB?*INSTR"));
    EXPECT_EQ(connection.OpenedResource(), visa::kSimulatedUsbResource);
    const std::string found = connection.OpenedResource();
    connection.Close();
    EXPECT_EQ(connection.OpenedResource(), "");
    ASSERT_TRUE(connection.Open(found.c_str()));
    EXPECT_EQ(connection.OpenedResource(), found);
    // A network resource is opened by its own name.
    ASSERT_TRUE(connection.Open("TCPIP0::192.0.2.7::inst0::INSTR"));
    EXPECT_EQ(connection.OpenedResource(), "TCPIP0::192.0.2.7::inst0::INSTR");
    EXPECT_FALSE(connection.Open("GPIB?*INSTR"));
    EXPECT_EQ(connection.OpenedResource(), "");
}

TEST_F(ConnectionReopen, AnOpenThatACloseOvertookLeavesNothingOpen) {
    // The device is made while the open is under way; it waits here until
    // the close has been made.
    std::promise<void> opening;
    std::promise<void> closed;
    std::shared_future<void> closedDone = closed.get_future().share();
    auto device = m_device;
    visa::InstallSimulatedDevice([&, device]() -> std::shared_ptr<visa::MessageDevice> {
        opening.set_value();
        closedDone.wait();
        return device;
    });
    link::CConectWithNI connection;
    auto open = std::async(std::launch::async,
                           [&] { return connection.Open("TCPIP0::192.0.2.7::inst0::INSTR"); });
    ASSERT_EQ(opening.get_future().wait_for(kWait), std::future_status::ready);
    connection.Close();  // the user disconnects meanwhile
    closed.set_value();
    EXPECT_FALSE(open.get());
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(connection.SessionHandle(), VI_NULL);
    EXPECT_EQ(connection.ResourceManagerHandle(), VI_NULL);
    EXPECT_EQ(connection.OpenedResource(), "");
    // The next open is not affected.
    visa::InstallSimulatedDevice([device] { return device; });
    EXPECT_TRUE(connection.Open("TCPIP0::192.0.2.7::inst0::INSTR"));
}

}  // namespace
}  // namespace kvt::test
