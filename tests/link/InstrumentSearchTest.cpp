// Finding the instruments the connection dialog lists: which names it can
// open, who they say they are, and the search's own thread (USB first and
// released before a connection claims it, a cancel that asks no further
// instrument, a start that takes over a search under way).
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "link/InstrumentSearch.h"
#include "sim/MeterModel.h"
#include "visa/Simulation.h"

namespace kvt::test {
namespace {

using link::ConnectionProtocol;
using link::FoundInstrument;
using link::InstrumentSearch;
constexpr std::chrono::seconds kWait{20};

TEST(FoundInstrument, OnlyNamesTheDialogCanOpenAreListed) {
    struct Case {
        const char* resource;
        bool listed;
        ConnectionProtocol protocol;
        const char* address;
    };
    const Case cases[] = {
        {"USB0::0x1209::0x4B56::KVSIM0001::INSTR", true, ConnectionProtocol::Usbtmc, ""},
        {"USB0::0x2A8D::0x0101::MY5700::0::INSTR", true, ConnectionProtocol::Usbtmc, ""},
        {"TCPIP0::10.77.0.21::inst0::INSTR", true, ConnectionProtocol::Vxi11, "10.77.0.21"},
        {"tcpip0::192.0.2.7::INST0::instr", true, ConnectionProtocol::Vxi11, "192.0.2.7"},
        {"TCPIP0::10.77.0.21::inst1::INSTR", false, {}, ""},
        {"TCPIP0::10.77.0.21::5025::SOCKET", false, {}, ""},
        {"TCPIP0::10.77.0.21::hislip0::INSTR", false, {}, ""},
        {"TCPIP0::::inst0::INSTR", false, {}, ""},
        {"ASRL1::INSTR", false, {}, ""},
        {"USB0::0x1209::0x4B56::KVSIM0001::RAW", false, {}, ""},
    };
    for (const Case& c : cases) {
        FoundInstrument found;
        EXPECT_EQ(FoundInstrument::FromResource(c.resource, found), c.listed) << c.resource;
        if (c.listed) {
            EXPECT_EQ(found.resource, c.resource);
            EXPECT_EQ(found.protocol, c.protocol) << c.resource;
            EXPECT_EQ(found.address, c.address) << c.resource;
        }
    }
}

TEST(FoundInstrument, IdentityComesFromTheFirstThreeFieldsOfAnIdnReply) {
    struct Case {
        const char* reply;
        bool taken;
        const char* maker;
        const char* model;
        const char* serial;
    };
    const Case cases[] = {
        {"KORVATA,KVT-1000 SIMULATED DMM,KVSIM0001,1.0\n", true, "KORVATA",
         "KVT-1000 SIMULATED DMM", "KVSIM0001"},
        {" Keysight Technologies , 34465A , MY1234 , A.02\r\n", true, "Keysight Technologies",
         "34465A", "MY1234"},
        {"MAKER,MODEL,0", true, "MAKER", "MODEL", "0"},
        {"", false, "", "", ""},
        {"+1.23456789E+00 VDC\n", false, "", "", ""},
        {"MAKER,MODEL", false, "", "", ""},
        {",MODEL,SERIAL,1", false, "", "", ""},
        {"MA\x01KER,MODEL,SERIAL,1", false, "", "", ""},
    };
    for (const Case& c : cases) {
        FoundInstrument found;
        EXPECT_EQ(found.TakeIdentity(c.reply), c.taken) << c.reply;
        EXPECT_EQ(found.answered, c.taken);
        EXPECT_EQ(found.maker, c.maker);
        EXPECT_EQ(found.model, c.model);
        EXPECT_EQ(found.serial, c.serial);
    }
}

// Waits for a search's answer.
struct Answer {
    std::promise<InstrumentSearch::Results> promise;
    std::future<InstrumentSearch::Results> future = promise.get_future();
    InstrumentSearch::Done Done() {
        return [this](InstrumentSearch::Results found) { promise.set_value(std::move(found)); };
    }
    InstrumentSearch::Results Get() {
        EXPECT_EQ(future.wait_for(kWait), std::future_status::ready);
        return future.get();
    }
};

// A gate that a fake lister or identifier waits at until opened.
class Gate {
public:
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    void Pass() {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_waiting = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool WaitUntilReached() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kWait, [this] { return m_waiting; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    bool m_waiting = false;
};

std::vector<std::string> Names(const InstrumentSearch::Results& found) {
    std::vector<std::string> names;
    for (const FoundInstrument& f : found) {
        names.push_back(f.resource);
    }
    return names;
}

TEST(InstrumentSearch, UsbComesFirstThenTheNetworkEachAskedWhoItIs) {
    std::mutex mutex;
    std::set<std::string> asked;
    InstrumentSearch search(
        [](const char* expression) -> std::vector<std::string> {
            if (std::string(expression) == "USB?*INSTR") {
                return {"USB0::0x1::0x2::A::INSTR", "USB0::0x1::0x2::B::RAW"};
            }
            return {"TCPIP0::10.0.0.2::inst0::INSTR", "TCPIP0::10.0.0.3::inst0::INSTR",
                    "TCPIP0::10.0.0.3::5025::SOCKET"};
        },
        [&](const std::string& resource) -> std::string {
            std::lock_guard<std::mutex> lock(mutex);
            asked.insert(resource);
            return resource == "TCPIP0::10.0.0.3::inst0::INSTR" ? "" : "M,X,S" + resource + ",1";
        });
    Answer answer;
    search.Start(answer.Done());
    const InstrumentSearch::Results found = answer.Get();
    EXPECT_EQ(Names(found), (std::vector<std::string>{"USB0::0x1::0x2::A::INSTR",
                                                      "TCPIP0::10.0.0.2::inst0::INSTR",
                                                      "TCPIP0::10.0.0.3::inst0::INSTR"}));
    ASSERT_EQ(found.size(), 3u);
    EXPECT_TRUE(found[0].answered);
    EXPECT_EQ(found[0].serial, "SUSB0::0x1::0x2::A::INSTR");
    EXPECT_EQ(found[1].address, "10.0.0.2");
    // A network instrument that did not answer is still listed.
    EXPECT_FALSE(found[2].answered);
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_FALSE(search.Running());
}

TEST(InstrumentSearch, UsbIsFreeOnceItsQueriesEndAndACancelAsksNoFurtherInstrument) {
    Gate usbQuery;
    Gate networkList;
    std::atomic<int> networkQueries{0};
    InstrumentSearch search(
        [&](const char* expression) -> std::vector<std::string> {
            if (std::string(expression) == "USB?*INSTR") {
                return {"USB0::0x1::0x2::A::INSTR"};
            }
            networkList.Pass();
            return {"TCPIP0::10.0.0.2::inst0::INSTR"};
        },
        [&](const std::string& resource) -> std::string {
            if (resource.rfind("USB", 0) == 0) {
                usbQuery.Pass();
            } else {
                ++networkQueries;
            }
            return "M,X,S,1";
        });
    Answer answer;
    search.Start(answer.Done());
    ASSERT_TRUE(usbQuery.WaitUntilReached());
    // A connection waits while the search holds the USB meter open.
    auto freed = std::async(std::launch::async, [&] { search.WaitUntilUsbIsFree(); });
    EXPECT_EQ(freed.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    usbQuery.Open();
    EXPECT_EQ(freed.wait_for(kWait), std::future_status::ready);
    ASSERT_TRUE(networkList.WaitUntilReached());
    search.Cancel();
    networkList.Open();
    const InstrumentSearch::Results found = answer.Get();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_TRUE(found[0].answered);
    EXPECT_FALSE(found[1].answered);
    EXPECT_EQ(networkQueries, 0);
}

TEST(InstrumentSearch, AStartDuringACancelledSearchRunsItAgainForTheNewAnswer) {
    Gate firstList;
    std::atomic<int> lists{0};
    InstrumentSearch search(
        [&](const char* expression) -> std::vector<std::string> {
            if (std::string(expression) != "USB?*INSTR") {
                return {};
            }
            if (lists++ == 0) {
                firstList.Pass();
            }
            return {"USB0::0x1::0x2::A::INSTR"};
        },
        [](const std::string&) -> std::string { return "M,X,S,1"; });
    Answer dropped;
    search.Start(dropped.Done());
    ASSERT_TRUE(firstList.WaitUntilReached());
    search.Cancel();
    // A new dialog opens before the cancelled search has ended: it gets a
    // complete answer, and the first one is not called back.
    Answer answer;
    search.Start(answer.Done());
    firstList.Open();
    const InstrumentSearch::Results found = answer.Get();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].answered);
    EXPECT_EQ(lists, 2);
    EXPECT_EQ(dropped.future.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
}

TEST(InstrumentSearch, TheSimulatedMeterIsFoundAndAnswersThroughTheVisaCalls) {
    setenv("KORVATA_VISA_SIMULATE", "1", 1);
    auto model = std::make_shared<sim::MeterModel>(7);
    visa::InstallSimulatedDevice([model] { return model; });
    EXPECT_EQ(InstrumentSearch::ListResources("USB?*INSTR"),
              std::vector<std::string>{visa::kSimulatedUsbResource});
    FoundInstrument found;
    EXPECT_TRUE(found.TakeIdentity(InstrumentSearch::Identify(visa::kSimulatedUsbResource)));
    EXPECT_EQ(found.serial, "KVSIM0001");
    // What cannot be opened answers nothing.
    EXPECT_EQ(InstrumentSearch::Identify("USB0::0x9999::0x9999::NONE::INSTR"), "");
    visa::InstallSimulatedDevice({});
    unsetenv("KORVATA_VISA_SIMULATE");
}

}  // namespace
}  // namespace kvt::test
