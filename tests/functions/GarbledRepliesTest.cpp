// The DC voltage worker over VXI-11 against korvata-sim that garbles every
// third reply: no garbled reply becomes a reading in the history, and the
// worker stops with the one failure message instead of silently.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "functions/CKVTFunctionDCV.h"
#include "functions/ProgramRecords.h"
#include "link/CommunicationFailure.h"
#include "link/CoreCommands.h"
#include "link/IConnection.h"
#include "link/Numbers.h"
#include "link/Pacer.h"
#include "link/ReadingReply.h"
#include "link/ReplyCheck.h"
#include "tests/functions/RecordingPanel.h"
#include "tests/support/SimProcess.h"

namespace kvt::test {
namespace {

struct LoggedReply {
    std::string query;
    std::string reply;  // without the log's escaped line end
};

// The queries and replies in the meter's command log, in order.
std::vector<LoggedReply> LoggedReplies(const std::string& logPath) {
    std::ifstream log(logPath);
    std::vector<LoggedReply> replies;
    std::string line;
    std::string query;
    while (std::getline(log, line)) {
        if (line.rfind("> ", 0) == 0) {
            query = line.substr(2);
        } else if (line.rfind("< ", 0) == 0) {
            std::string reply = line.substr(2);
            if (reply.size() >= 2 && reply.compare(reply.size() - 2, 2, "\\n") == 0) {
                reply.resize(reply.size() - 2);
            }
            replies.push_back({query, reply});
        }
    }
    return replies;
}

// The log escapes every byte that is not printable: a well-formed reply
// has no escape left once its line end is removed.
bool Garbled(const std::string& reply) {
    return reply.find('\\') != std::string::npos;
}

// Which view is shown while the worker runs: each adds its own queries
// (and replies to garble) to the reading cycle.
enum class ShownView { kNone, kTrend, kHistogram, kStatistics };

class GarbledReplies : public ::testing::TestWithParam<std::tuple<ShownView, int>> {
protected:
    void TearDown() override {
        functions::g_trendViewActive = false;
        functions::g_histogramViewActive = false;
        functions::g_statisticsViewActive = false;
    }
};

TEST_P(GarbledReplies, NeverBecomeReadingsAndStopTheWorkerWithTheFailureMessage) {
    auto [view, every] = GetParam();
    functions::g_trendViewActive = view == ShownView::kTrend;
    functions::g_histogramViewActive = view == ShownView::kHistogram;
    functions::g_statisticsViewActive = view == ShownView::kStatistics;
    std::string logPath = ::testing::TempDir() + "garbled-meter-" +
                          std::to_string(static_cast<int>(view)) + "-" + std::to_string(every) +
                          ".log";
    std::remove(logPath.c_str());
    SimProcess sim({"--vxi11", "--portmapper", "0", "--fault",
                    "garbage-every=" + std::to_string(every), "--log", logPath});
    ASSERT_TRUE(sim.Ready()) << sim.Error();
    setenv("KORVATA_VISA_PORTMAPPER_PORT", std::to_string(sim.Port("portmapper")).c_str(), 1);
    link::RecordingPacer pacer;
    link::InstallPacer(&pacer);
    std::mutex mutex;
    int failures = 0;
    link::SetCommunicationFailureHandler([&](std::string_view, std::string_view) {
        std::lock_guard<std::mutex> lock(mutex);
        ++failures;
    });
    ASSERT_TRUE(link::GetConnection()->Open("TCPIP0::127.0.0.1::inst0::INSTR"));

    RecordingPanel panel;
    auto dcv = std::make_unique<functions::CKVTFunctionDCV>(&panel);
    dcv->Init();
    link::SetTriggerCountInfinite();
    link::Initiate();
    dcv->Start();
    EXPECT_TRUE(dcv->WaitForWorkerEnd(std::chrono::seconds(20)));
    std::vector<double> history = dcv->HistorySnapshot();
    dcv.reset();
    link::GetConnection()->Close();
    link::SetCommunicationFailureHandler({});
    link::InstallPacer(nullptr);
    unsetenv("KORVATA_VISA_PORTMAPPER_PORT");

    // The history holds exactly the readings of the well-formed replies,
    // in order; the first garbled reply (to the reading or the range
    // query) ended the worker, so it is the last reply of the log.
    std::vector<LoggedReply> replies = LoggedReplies(logPath);
    ASSERT_FALSE(replies.empty());
    EXPECT_TRUE(Garbled(replies.back().reply)) << replies.back().reply;
    std::vector<double> expected;
    for (size_t i = 0; i + 1 < replies.size(); ++i) {
        EXPECT_FALSE(Garbled(replies[i].reply)) << replies[i].reply;
        if (replies[i].query == "DATA:LAST?") {
            ASSERT_TRUE(link::IsReadingReply(replies[i].reply)) << replies[i].reply;
            std::string reading = link::ReadingFromReply(replies[i].reply);
            expected.push_back(reading == link::kOverloadText ? link::kOverloadLevel
                                                              : link::ParseNumber(reading));
        }
    }
    EXPECT_EQ(history, expected);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(failures, 1);
}

// Every third, fourth or fifth reply garbled: the garbage lands on a
// different query of the cycle in each case.
INSTANTIATE_TEST_SUITE_P(EachView, GarbledReplies,
                         ::testing::Combine(::testing::Values(ShownView::kNone, ShownView::kTrend,
                                                              ShownView::kHistogram,
                                                              ShownView::kStatistics),
                                            ::testing::Values(3, 4, 5)));

}  // namespace
}  // namespace kvt::test
