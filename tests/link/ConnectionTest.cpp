// The connection over the VISA calls: opening by search expression or by
// name, the lock around each exchange, the query pause, and exactly where
// the communication-failure message is raised.
#include <gtest/gtest.h>

#include <array>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "link/CommunicationFailure.h"
#include "link/ConnectionSequences.h"
#include "link/ExchangeSequence.h"
#include "link/OpenFailure.h"
#include "tests/link/LinkFixture.h"
#include "visa/Simulation.h"
#include "visa/visa.h"

namespace kvt::test {
namespace {

using namespace std::chrono_literals;

std::string ResourceNameOf(ViSession session) {
    std::array<char, VI_FIND_BUFLEN> name{};
    if (viGetAttribute(session, VI_ATTR_RSRC_NAME, name.data()) < VI_SUCCESS) {
        return {};
    }
    return name.data();
}

using ConnectionOpen = LinkFixture;

TEST_F(ConnectionOpen, SearchExpressionOpensTheFirstMatch) {
    link::CConectWithNI connection;
    ASSERT_TRUE(connection.Open("USB?*INSTR"));
    EXPECT_TRUE(connection.IsOpen());
    EXPECT_NE(connection.ResourceManagerHandle(), VI_NULL);
    EXPECT_EQ(ResourceNameOf(connection.SessionHandle()), visa::kSimulatedUsbResource);
    EXPECT_TRUE(connection.Close());
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(connection.SessionHandle(), VI_NULL);
    EXPECT_EQ(connection.ResourceManagerHandle(), VI_NULL);
}

TEST_F(ConnectionOpen, SearchWithoutMatchLeavesNothingOpen) {
    link::CConectWithNI connection;
    EXPECT_FALSE(connection.Open("GPIB?*INSTR"));
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_EQ(connection.SessionHandle(), VI_NULL);
    EXPECT_EQ(connection.ResourceManagerHandle(), VI_NULL);
    EXPECT_FALSE(connection.Open("not a search ["));
    EXPECT_EQ(connection.ResourceManagerHandle(), VI_NULL);
}

TEST_F(ConnectionOpen, TcpipTextIsOpenedWithoutSearch) {
    // A search for this name finds nothing (the simulation lists only its
    // USB meter), so opening it proves the text went to viOpen directly.
    link::CConectWithNI connection;
    ASSERT_TRUE(connection.Open("TCPIP0::10.1.2.3::inst0::INSTR"));
    EXPECT_EQ(ResourceNameOf(connection.SessionHandle()), "TCPIP0::10.1.2.3::inst0::INSTR");
    connection.Close();
    // Not a resource name, and containing TCPIP: no search rescues it.
    EXPECT_FALSE(connection.Open("xTCPIPx"));
    EXPECT_EQ(connection.ResourceManagerHandle(), VI_NULL);
    // The test is case-sensitive: in lower case the text is searched for,
    // and the search lists no network instrument.
    EXPECT_FALSE(connection.Open("tcpip0::10.1.2.3::inst0::INSTR"));
    EXPECT_EQ(connection.ResourceManagerHandle(), VI_NULL);
}

TEST_F(ConnectionOpen, ResourceTextMustFitTheDescriptor) {
    link::CConectWithNI connection;
    std::string name = "TCPIP0::" + std::string(240, 'h') + "::inst0::INSTR";
    EXPECT_FALSE(connection.Open(name.c_str()));
    EXPECT_EQ(connection.ResourceManagerHandle(), VI_NULL);
    EXPECT_FALSE(connection.Open(nullptr));
}

TEST_F(ConnectionOpen, NeverOpenedCloseIsHarmless) {
    link::CConectWithNI connection;
    EXPECT_FALSE(connection.IsOpen());
    EXPECT_TRUE(connection.Close());
    EXPECT_EQ(connection.SessionHandle(), VI_NULL);
    EXPECT_EQ(connection.ResourceManagerHandle(), VI_NULL);
}

TEST_F(ConnectionOpen, OpeningAgainClosesThePreviousSession) {
    link::CConectWithNI connection;
    ASSERT_TRUE(connection.Open("TCPIP0::10.0.0.1::inst0::INSTR"));
    ViSession first = connection.SessionHandle();
    ASSERT_TRUE(connection.Open("TCPIP0::10.0.0.2::inst0::INSTR"));
    EXPECT_NE(connection.SessionHandle(), first);
    ViUInt32 written = 0;
    EXPECT_EQ(viWrite(first, reinterpret_cast<ViConstBuf>("X"), 1, &written), VI_ERROR_INV_OBJECT);
    connection.Close();
}

TEST_F(ConnectionOpen, OneConnectionForTheProcess) {
    link::IConnection* first = link::GetConnection();
    std::future<link::IConnection*> other = std::async(std::launch::async, link::GetConnection);
    EXPECT_EQ(other.get(), first);
    EXPECT_EQ(link::GetConnection(), first);
}

// Opens of the simulated meter: a factory that counts its calls and gives
// no device (the open fails) until `failuresLeft` runs out.
class CountingFactory {
public:
    CountingFactory(std::shared_ptr<visa::MessageDevice> device, int failuresLeft)
        : m_state(std::make_shared<State>()) {
        m_state->device = std::move(device);
        m_state->failuresLeft = failuresLeft;
        visa::InstallSimulatedDevice([state = m_state]() -> std::shared_ptr<visa::MessageDevice> {
            std::lock_guard<std::mutex> lock(state->mutex);
            ++state->opens;
            if (state->failuresLeft > 0) {
                --state->failuresLeft;
                return nullptr;
            }
            return state->device;
        });
    }
    int Opens() const {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->opens;
    }

private:
    struct State {
        std::mutex mutex;
        std::shared_ptr<visa::MessageDevice> device;
        int failuresLeft = 0;
        int opens = 0;
    };
    std::shared_ptr<State> m_state;
};

TEST_F(ConnectionOpen, FailedOpenIsExplainedWithoutOpeningAgain) {
    using Step = link::CConectWithNI::OpenStep;
    const char* resource = "TCPIP0::192.0.2.7::inst0::INSTR";
    Connection()->Close();
    // A meter that answers only at the second open.
    CountingFactory factory(m_device, 1);
    EXPECT_FALSE(Connection()->Open(resource));
    EXPECT_EQ(factory.Opens(), 1);
    EXPECT_EQ(Connection()->LastOpenFailure().step, Step::Session);
    EXPECT_EQ(Connection()->LastOpenFailure().status, VI_ERROR_RSRC_NFOUND);
    EXPECT_EQ(link::DescribeOpenFailure(resource),
              "Nothing answers as a VXI-11 instrument at 192.0.2.7: the connection was refused, "
              "the address cannot be reached, or no VXI-11 server runs there.");
    // The explanation opened nothing: the failed open stays the only one.
    EXPECT_EQ(factory.Opens(), 1);
    EXPECT_FALSE(Connection()->IsOpen());
    EXPECT_EQ(Connection()->ResourceManagerHandle(), VI_NULL);

    // The user tries again: that open succeeds and clears the record.
    EXPECT_TRUE(Connection()->Open(resource));
    EXPECT_EQ(factory.Opens(), 2);
    EXPECT_EQ(Connection()->LastOpenFailure().step, Step::None);

    // A search that finds nothing is kept as such.
    link::CConectWithNI other;
    EXPECT_FALSE(other.Open("GPIB?*INSTR"));
    EXPECT_EQ(other.LastOpenFailure().step, Step::Search);
    EXPECT_FALSE(other.Open(std::string(300, 'x').c_str()));
    EXPECT_EQ(other.LastOpenFailure().step, Step::ResourceText);
    EXPECT_EQ(factory.Opens(), 2);
}

// Each kind of failed open keeps the words it always had.
TEST(OpenFailureText, EachFailureKeepsItsWords) {
    using Step = link::CConectWithNI::OpenStep;
    const std::string vxi11 = "TCPIP0::10.1.2.3::inst0::INSTR";
    const std::string usb = "USB?*INSTR";
    struct Case {
        std::string resource;
        Step step;
        ViStatus status;
        std::string text;
    };
    const Case cases[] = {
        {"TCPIP0::" + std::string(240, 'h') + "::inst0::INSTR", Step::ResourceText,
         VI_ERROR_INV_RSRC_NAME, "The address is too long."},
        {"TCPIP0::192.168..::inst0::INSTR", Step::Session, VI_ERROR_INV_RSRC_NAME,
         "\"192.168..\" is not a complete IPv4 address: fill in all four fields."},
        {vxi11, Step::ResourceManager, VI_ERROR_LIBRARY_NFOUND,
         "The VISA library named by KORVATA_VISA_LIBRARY cannot be loaded or lacks one of the "
         "VISA calls."},
        {vxi11, Step::ResourceManager, VI_ERROR_SYSTEM_ERROR,
         "The VISA resource manager cannot be opened (status 0xBFFF0000)."},
        {vxi11, Step::Session, VI_ERROR_RSRC_NFOUND,
         "Nothing answers as a VXI-11 instrument at 10.1.2.3: the connection was refused, the "
         "address cannot be reached, or no VXI-11 server runs there."},
        {usb, Step::Session, VI_ERROR_RSRC_NFOUND,
         "The USB instrument disappeared while it was being opened. Check its cable."},
        {vxi11, Step::Session, VI_ERROR_TMO,
         "No answer from 10.1.2.3 within the timeout. Check the address, the network and that "
         "the meter is switched on."},
        {"TCPIP0::meter::inst0::INSTR", Step::Session, VI_ERROR_INV_RSRC_NAME,
         "\"meter\" is not a complete IPv4 address."},
        {"USB::nonsense", Step::Session, VI_ERROR_INV_RSRC_NAME,
         "\"USB::nonsense\" is not a valid VISA resource name."},
        {usb, Step::Session, VI_ERROR_RSRC_BUSY,
         "The instrument is in use by another program or driver. Close the other program, or "
         "unload the kernel's usbtmc driver (sudo rmmod usbtmc), then unplug the meter and plug "
         "it in again."},
        {vxi11, Step::Session, VI_ERROR_RSRC_LOCKED,
         "The instrument is in use by another program or driver."},
        {usb, Step::Session, VI_ERROR_INV_SETUP,
         "This user may not open the USB instrument. Install the udev rule for USB instruments "
         "(README.md, \"USB instruments: the udev rule\"), then unplug the meter and plug it in "
         "again."},
        {vxi11, Step::Session, VI_ERROR_CONN_LOST,
         "The instrument closed the connection while it was being opened."},
        {vxi11, Step::Session, VI_ERROR_ALLOC, "The VISA layer reported status 0xBFFF003C."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(link::DescribeOpenFailure(c.resource, {c.step, c.status}), c.text) << c.resource;
    }
    // A failed search: no instrument, or one this user may not open.
    const std::string search = link::DescribeOpenFailure(usb, {Step::Search, VI_ERROR_RSRC_NFOUND});
    EXPECT_TRUE(search ==
                    "No USB instrument was found. Check that the meter is switched on and "
                    "connected by its USB cable." ||
                search.rfind("A USB instrument is attached, but this user may not open it. "
                             "Install the udev rule",
                             0) == 0)
        << search;
}

using ConnectionExchange = LinkFixture;

TEST_F(ConnectionExchange, QueryWritesPausesThenReads) {
    m_device->Answer("*IDN?", "KVT\n");
    std::array<char, 32> buffer{};
    uint32_t count = 99;
    ASSERT_TRUE(Connection()->Query("*IDN?", buffer.data(), 32, &count));
    EXPECT_EQ(std::string(buffer.data(), count), "KVT\n");
    // No terminator added; the pause lies between the write and the read.
    EXPECT_EQ(Timeline(), (std::vector<std::string>{"*IDN?", "pause 100", "read"}));
    EXPECT_TRUE(Failures().empty());
}

TEST_F(ConnectionExchange, WriteSendsTheBytesAsTheyStand) {
    EXPECT_TRUE(Connection()->Write("FUNC \"VOLT:DC\""));
    EXPECT_TRUE(Connection()->Write(""));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"FUNC \"VOLT:DC\"", ""}));
    EXPECT_TRUE(PausesMs().empty());
}

TEST_F(ConnectionExchange, ReadTimeoutRaisesTheMessageOnce) {
    std::array<char, 32> buffer{};
    uint32_t count = 99;
    EXPECT_FALSE(Connection()->Query("NOANSWER?", buffer.data(), 32, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(buffer[0], '\0');
    auto failures = Failures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].first, "通信失败,请检查设备是否连接正常");
    EXPECT_EQ(failures[0].second, "Error");

    EXPECT_FALSE(Connection()->Read(buffer.data(), 32, &count));
    EXPECT_EQ(Failures().size(), 2u);
}

TEST_F(ConnectionExchange, ClosedConnectionRaisesTheMessageOnlyForRead) {
    Connection()->Close();
    std::array<char, 32> buffer{};
    uint32_t count = 99;
    EXPECT_FALSE(Connection()->Write("INIT"));
    EXPECT_FALSE(Connection()->Query("*IDN?", buffer.data(), 32, &count));
    EXPECT_EQ(count, 0u);
    EXPECT_TRUE(Failures().empty());
    EXPECT_TRUE(PausesMs().empty());  // refused before the pause
    EXPECT_FALSE(Connection()->Read(buffer.data(), 32, &count));
    EXPECT_EQ(Failures().size(), 1u);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ConnectionExchange, LostSessionFailsWritesSilently) {
    // The session goes away under the connection (a dropped link).
    ASSERT_EQ(viClose(Connection()->SessionHandle()), VI_SUCCESS);
    ASSERT_TRUE(Connection()->IsOpen());
    std::array<char, 32> buffer{};
    uint32_t count = 0;
    EXPECT_FALSE(Connection()->Write("INIT"));
    EXPECT_FALSE(Connection()->Query("*IDN?", buffer.data(), 32, &count));
    EXPECT_TRUE(Failures().empty());
    EXPECT_TRUE(PausesMs().empty());  // the write failed: no pause, no read
    EXPECT_FALSE(Connection()->Read(buffer.data(), 32, &count));
    EXPECT_EQ(Failures().size(), 1u);
}

TEST_F(ConnectionExchange, LongReplyIsCutAndItsRestDiscarded) {
    std::string longReply(5000, 'x');
    longReply += "END\n";
    m_device->Answer("LONG?", longReply);
    m_device->Answer("NEXT?", "next\n");
    std::array<char, 32> buffer{};
    uint32_t count = 0;
    ASSERT_TRUE(Connection()->Query("LONG?", buffer.data(), 32, &count));
    EXPECT_EQ(count, 32u);
    EXPECT_EQ(std::string(buffer.data(), count), std::string(32, 'x'));
    ASSERT_TRUE(Connection()->Query("NEXT?", buffer.data(), 32, &count));
    EXPECT_EQ(std::string(buffer.data(), count), "next\n");
}

// A pacer that holds the querying thread inside its pause until released.
class GatePacer final : public link::IPacer {
public:
    void Pause(std::chrono::milliseconds) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_paused = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_released; });
    }
    bool WaitUntilPaused() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, 5s, [this] { return m_paused; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_paused = false;
    bool m_released = false;
};

TEST_F(ConnectionExchange, QueryPauseIsSpentHoldingTheLock) {
    GatePacer gate;
    link::InstallPacer(&gate);
    m_device->Answer("A?", "a\n");
    std::array<char, 32> buffer{};
    uint32_t count = 0;
    std::future<bool> query = std::async(
        std::launch::async, [&] { return Connection()->Query("A?", buffer.data(), 32, &count); });
    // Not ASSERT: returning here would leave the query held in the gate.
    EXPECT_TRUE(gate.WaitUntilPaused());
    std::future<bool> write =
        std::async(std::launch::async, [] { return Connection()->Write("INIT"); });
    // The other thread's write waits for the whole exchange.
    EXPECT_EQ(write.wait_for(200ms), std::future_status::timeout);
    EXPECT_EQ(Sent(), std::vector<std::string>{"A?"});
    gate.Release();
    EXPECT_TRUE(query.get());
    EXPECT_TRUE(write.get());
    EXPECT_EQ(std::string(buffer.data(), count), "a\n");
    EXPECT_EQ(Sent(), std::vector<std::string>{"INIT"});
    link::InstallPacer(&m_pacer);
}

TEST_F(ConnectionExchange, MessageIsRaisedAfterTheLockIsReleased) {
    bool otherThreadGotThrough = false;
    link::SetCommunicationFailureHandler([&](std::string_view, std::string_view) {
        std::future<bool> write =
            std::async(std::launch::async, [] { return Connection()->Write("INIT"); });
        otherThreadGotThrough = write.wait_for(5s) == std::future_status::ready && write.get();
    });
    std::array<char, 32> buffer{};
    uint32_t count = 0;
    EXPECT_FALSE(Connection()->Query("NOANSWER?", buffer.data(), 32, &count));
    EXPECT_TRUE(otherThreadGotThrough);
}

TEST_F(ConnectionExchange, ConcurrentQueriesAreNeverSplit) {
    m_device->Answer("A?", "a\n");
    m_device->Answer("B?", "b\n");
    auto run = [](const char* command, const char* expected) {
        int mismatches = 0;
        for (int i = 0; i < 200; ++i) {
            std::array<char, 32> buffer{};
            uint32_t count = 0;
            if (!Connection()->Query(command, buffer.data(), 32, &count) ||
                std::string(buffer.data(), count) != expected) {
                ++mismatches;
            }
        }
        return mismatches;
    };
    std::future<int> a = std::async(std::launch::async, run, "A?", "a\n");
    std::future<int> b = std::async(std::launch::async, run, "B?", "b\n");
    EXPECT_EQ(a.get(), 0);
    EXPECT_EQ(b.get(), 0);
    EXPECT_EQ(PausesMs().size(), 400u);
}

// Sequences run for the user: each ends at its first failed exchange.
using ConnectionSequence = LinkFixture;

bool QueryOnce(const char* command, std::string* reply = nullptr) {
    std::array<char, 32> buffer{};
    uint32_t count = 99;
    bool ok = link::GetConnection()->Query(command, buffer.data(), 32, &count);
    if (reply != nullptr) {
        *reply = std::string(buffer.data(), count);
    }
    return ok;
}

TEST_F(ConnectionSequence, StopsAtItsFirstFailedExchange) {
    m_device->Answer("A?", "a\n");
    {
        link::ExchangeSequence sequence;
        EXPECT_TRUE(QueryOnce("A?"));
        EXPECT_TRUE(Connection()->Write("INIT"));
        EXPECT_FALSE(link::ExchangeSequence::Failing());
        EXPECT_FALSE(QueryOnce("NOANSWER?"));
        EXPECT_TRUE(link::ExchangeSequence::Failing());
        // Nothing more reaches the meter, and nothing waits: each exchange
        // fails as a failed one does (queries and reads report, writes
        // stay silent) and the reply is empty.
        EXPECT_FALSE(Connection()->Write("INIT"));
        std::string reply = "unchanged";
        EXPECT_FALSE(QueryOnce("A?", &reply));
        EXPECT_EQ(reply, "");
        std::array<char, 32> buffer{};
        uint32_t count = 99;
        EXPECT_FALSE(Connection()->Read(buffer.data(), 32, &count));
        EXPECT_EQ(count, 0u);
    }
    EXPECT_EQ(Timeline(), (std::vector<std::string>{"A?", "pause 100", "read", "INIT", "NOANSWER?",
                                                    "pause 100", "read"}));
    EXPECT_EQ(Failures().size(), 3u);
    // Over, the sequence stops nothing; nor does a failure outside one.
    EXPECT_FALSE(link::ExchangeSequence::Failing());
    EXPECT_FALSE(QueryOnce("NOANSWER?"));
    EXPECT_TRUE(QueryOnce("A?"));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"NOANSWER?", "A?"}));
}

TEST_F(ConnectionSequence, AFailedWriteEndsItWithoutAWord) {
    // The session goes away under the connection: its writes fail.
    ASSERT_EQ(viClose(Connection()->SessionHandle()), VI_SUCCESS);
    link::ExchangeSequence sequence;
    EXPECT_FALSE(Connection()->Write("INIT"));
    EXPECT_TRUE(Failures().empty());
    // The failed function command needs no settling; the query after it
    // is not made and reports the failure, as the timed-out read would.
    EXPECT_TRUE(link::SelectFunction("CURR"));
    EXPECT_FALSE(QueryOnce("A?"));
    EXPECT_TRUE(PausesMs().empty());
    EXPECT_EQ(Failures().size(), 1u);
}

TEST_F(ConnectionSequence, AFailureOnAnotherThreadEndsIt) {
    // A failure from before the sequence began is none of its business.
    link::ReportCommunicationFailure();
    GatePacer gate;
    link::InstallPacer(&gate);
    // The worker's query holds the connection in its pause, and then fails.
    std::future<bool> worker =
        std::async(std::launch::async, [] { return QueryOnce("NOANSWER?"); });
    EXPECT_TRUE(gate.WaitUntilPaused());
    {
        link::ExchangeSequence sequence;
        EXPECT_FALSE(link::ExchangeSequence::Failing());
        gate.Release();
        // This write waits for the lock; the worker's read fails meanwhile
        // and the write is not made.
        EXPECT_FALSE(Connection()->Write("INIT"));
        EXPECT_FALSE(worker.get());
    }
    link::InstallPacer(&m_pacer);
    EXPECT_EQ(Sent(), std::vector<std::string>{"NOANSWER?"});
    EXPECT_EQ(Failures().size(), 2u);
}

TEST_F(ConnectionSequence, NestedSequencesJoinTheOutermostOnItsOwnThread) {
    {
        link::ExchangeSequence outer;
        {
            link::ExchangeSequence inner;
            EXPECT_FALSE(QueryOnce("NOANSWER?"));
        }
        EXPECT_TRUE(link::ExchangeSequence::Failing());
        EXPECT_FALSE(Connection()->Write("INIT"));
        {
            link::ExchangeSequence inner;
            EXPECT_TRUE(link::ExchangeSequence::Failing());
        }
        // Another thread (a reading worker) is in no sequence of this one.
        std::future<bool> other = std::async(std::launch::async, [] {
            return !link::ExchangeSequence::Failing() && Connection()->Write("*TRG");
        });
        EXPECT_TRUE(other.get());
    }
    EXPECT_FALSE(link::ExchangeSequence::Failing());
    EXPECT_TRUE(Connection()->Write("INIT"));
    EXPECT_EQ(Sent(), (std::vector<std::string>{"NOANSWER?", "*TRG", "INIT"}));
}

}  // namespace
}  // namespace kvt::test
