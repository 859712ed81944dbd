// Garbage in, bounded state, concurrent use and the cost of a poll.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "sim/NoiseSource.h"
#include "tests/sim/MeterFixture.h"

namespace kvt::sim::testing {
namespace {

using namespace std::chrono_literals;
using MeterRobustness = MeterFixture;

TEST_F(MeterRobustness, RandomAndMangledMessagesNeverBreakTheMeter) {
    // Real commands cut, spliced and sprinkled with random bytes.
    const std::vector<std::string> seeds = {
        "FUNC \"VOLT:AC\"",
        "CALC:TRAN:HIST:ALL?",
        "VOLT:DC:RANGE 0.200",
        "$$SY_FP 21",
        "TEMP:MDEF:THER:TRAN:POIN? KITS90",
        "CALCulate:TRENd:CHARt:DATA?",
        "SAMP:COUN 3",
        "CALC:SCAL:STAT 1",
        "TRIG:COUN INF",
        "CONT:THR:VALUE 0050",
        "UNIT:TEMP K",
        "*RST",
    };
    NoiseSource random(99);
    auto pick = [&](size_t n) {
        return static_cast<size_t>(random.Uniform() * static_cast<double>(n));
    };
    for (int i = 0; i < 20000; ++i) {
        std::string message = seeds[pick(seeds.size())];
        switch (pick(5)) {
            case 0:
                message.resize(pick(message.size() + 1));
                break;
            case 1:
                message[pick(message.size())] = static_cast<char>(pick(256));
                break;
            case 2: {
                const std::string& other = seeds[pick(seeds.size())];
                message += ";" + other.substr(pick(other.size()));
                break;
            }
            case 3:
                for (size_t k = 0, n = pick(40); k < n; ++k) {
                    message += static_cast<char>(pick(256));
                }
                break;
            default:
                message.insert(pick(message.size()), std::string(pick(4), '"'));
                break;
        }
        Advance(std::chrono::milliseconds(pick(50)));
        m_meter.ReceiveMessage(message);
        if (pick(3) == 0) {
            m_meter.TakeResponse();
        }
    }
    // Still answering, and every piece of state within its bounds.
    Send("*CLS");
    m_meter.DeviceClear();
    EXPECT_EQ(Query("*IDN?"), std::string(MeterModel::kIdentity) + "\n");
    EXPECT_LE(Fields(Query("CALC:TREN:CHAR:DATA?")).size(), 65535u);
    Send("FUNC \"VOLT\";VOLT:DC:RANGE:AUTO ON;SIM:INP 1;CALC:SCAL:STAT 0;*CLS");
    Advance(1s);
    ExpectNoError();
}

TEST_F(MeterRobustness, UnreadResponsesAreBounded) {
    for (size_t i = 0; i < MeterModel::kMaxPendingResponses + 10; ++i) {
        Send("ECHO? " + std::to_string(i));
    }
    // The oldest were dropped, each noted as an interrupted query.
    EXPECT_EQ(m_meter.TakeResponse(), "10\n");
    for (size_t i = 1; i < MeterModel::kMaxPendingResponses; ++i) {
        m_meter.TakeResponse();
    }
    EXPECT_EQ(m_meter.TakeResponse(), "");
    EXPECT_EQ(NextError(), -410);

    // Big responses are bounded by their bytes too.
    Send("*CLS");
    std::string big(200000, 'x');
    for (int i = 0; i < 100; ++i) {
        Send("ECHO? " + big + ";ECHO? " + big);
    }
    size_t pending = 0;
    for (std::string r = m_meter.TakeResponse(); !r.empty(); r = m_meter.TakeResponse()) {
        pending += r.size();
    }
    EXPECT_LE(pending, MeterModel::kMaxPendingBytes);
    EXPECT_GT(pending, MeterModel::kMaxPendingBytes / 2);

    // One message whose responses alone exceed the bound is refused.
    std::string huge(MeterModel::kMaxPendingBytes / 2 + 10, 'y');
    Send("*CLS");
    Send("ECHO? " + huge + ";ECHO? " + huge + ";ECHO? z");
    EXPECT_EQ(m_meter.TakeResponse(), "");
    EXPECT_EQ(NextError(), -223);
}

TEST_F(MeterRobustness, ConcurrentClientsSeeWholeResponses) {
    std::atomic<bool> stop{false};
    std::thread ticker([&] {
        while (!stop.load()) {
            m_clock->Advance(1ms);
            std::this_thread::yield();
        }
    });
    std::vector<std::thread> clients;
    std::atomic<int> malformed{0};
    std::atomic<int> whole{0};
    // The three whole forms: a reading with its unit, the list of
    // statistics, a quoted function name. Anything torn, joined or cut
    // matches none of them. Compiled once, before the threads start: the
    // standard library's character tables are filled on first use.
    const std::regex forms(R"(([+-]\d\.\d+E[+-]\d+ [A-Z]+)"
                           R"(|[-+0-9.E]+(,[-+0-9.E]+)*)"
                           R"(|"[A-Z:]+")\n)");
    for (int t = 0; t < 3; ++t) {
        clients.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                // Each client sends and reads in turn, as one session would
                // under its own lock; responses may be taken by another
                // client, but never torn.
                m_meter.ReceiveMessage(t == 0 ? "DATA:LAST?" : t == 1 ? "CALC:AVER:ALL?" : "FUNC?");
                std::string r = m_meter.TakeResponse();
                if (r.empty()) {
                    // taken by another client
                } else if (std::regex_match(r, forms)) {
                    ++whole;
                } else {
                    ++malformed;
                    ADD_FAILURE() << "torn response: " << r;
                }
                if (t == 2 && i % 50 == 0) {
                    m_meter.ReceiveMessage(i % 100 == 0 ? "FUNC \"RES\"" : "FUNC \"VOLT\"");
                }
            }
        });
    }
    for (auto& c : clients) {
        c.join();
    }
    stop = true;
    ticker.join();
    EXPECT_EQ(malformed.load(), 0);
    EXPECT_GT(whole.load(), 300);
}

}  // namespace
}  // namespace kvt::sim::testing
