// The DC voltage reading worker against the simulated meter in process:
// readings, pause and resume, an instrument that stops answering, shutdown,
// and settings commands that never land inside a reading cycle.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include <unistd.h>

#include "functions/ProgramRecords.h"
#include "link/CoreCommands.h"
#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

using Strings = std::vector<std::string>;
constexpr std::chrono::seconds kWait{20};

class DcvWorker : public MeterFixture {
protected:
    void SetUp() override {
        MeterFixture::SetUp();
        link::SetTriggerCountInfinite();
        link::Initiate();
        Sent();
    }

    // Waits for count more new-reading notices than have arrived so far.
    void WaitForMoreReadings(int count) {
        ASSERT_TRUE(m_panel.WaitForNewReadings(m_panel.NewReadings() + count, kWait));
    }
};

TEST_F(DcvWorker, ReadingsArriveAndFillTheHistory) {
    m_dcv->Start();
    WaitForMoreReadings(3);
    std::string reading = m_dcv->GetReadingText();
    EXPECT_TRUE(std::regex_match(reading, std::regex(R"([+-]\d+\.\d{12}|Overload)"))) << reading;
    EXPECT_GE(m_dcv->HistorySnapshot().size(), 3u);
    EXPECT_EQ(m_dcv->WorkerGeneration(), 1u);
    EXPECT_TRUE(m_dcv->IsWorkerRunning());
    m_dcv->Pause();
    // With no view shown and a manual range, a cycle is the reading alone:
    // the query and its pause, at least once per notice waited for.
    Strings timeline = Timeline();
    ASSERT_GE(timeline.size(), 6u);
    ASSERT_EQ(timeline.size() % 2, 0u);
    for (size_t i = 0; i < timeline.size(); i += 2) {
        EXPECT_EQ(timeline[i], "DATA:LAST?") << i;
        EXPECT_EQ(timeline[i + 1], "pause 100") << i;
    }
}

TEST_F(DcvWorker, PauseHoldsTheWorkerBetweenCyclesAndStartResumesIt) {
    m_dcv->Start();
    WaitForMoreReadings(2);
    m_dcv->Pause();
    int notices = m_panel.NewReadings();
    Sent();
    PausesMs();

    // Paused: only the settings command reaches the instrument.
    m_dcv->GetItem(3)->Press();
    EXPECT_EQ(Timeline(), (Strings{"VOLT:DC:FILTER ON", "pause 100"}));
    EXPECT_EQ(m_panel.NewReadings(), notices);

    m_dcv->Pause();  // a second pause is undone by one start
    m_dcv->Start();
    WaitForMoreReadings(2);
    EXPECT_EQ(m_dcv->WorkerGeneration(), 1u);
    EXPECT_TRUE(m_dcv->IsWorkerRunning());
}

TEST_F(DcvWorker, SilentInstrumentEndsTheWorkerAndStartCreatesANewOne) {
    m_dcv->Start();
    WaitForMoreReadings(1);
    m_device->SetSilent(true);
    ASSERT_TRUE(m_dcv->WaitForWorkerEnd(kWait));
    EXPECT_FALSE(m_dcv->IsWorkerRunning());
    EXPECT_GT(Failures(), 0);
    std::string last = m_dcv->GetReadingText();
    EXPECT_NE(last, "●.●●●●●");

    m_device->SetSilent(false);
    m_dcv->Start();
    WaitForMoreReadings(2);
    EXPECT_EQ(m_dcv->WorkerGeneration(), 2u);
    EXPECT_TRUE(m_dcv->IsWorkerRunning());
}

TEST_F(DcvWorker, AnUnansweredQueryEndsTheCycleAtOnce) {
    // Whichever query of the cycle goes unanswered, it is the last thing
    // sent: the worker does not wait out the timeout of every query left.
    functions::g_trendViewActive = true;
    functions::g_histogramViewActive = true;
    functions::g_statisticsViewActive = true;
    m_dcv->OnMenuItem(7);  // automatic range: the cycle ends with the range query
    const Strings queries{"CALCulate:TRENd:CHARt:MODe?",
                          "CALCulate:TRENd:CHARt:DATA?",
                          "CALCulate:TRANsform:HISTogram:ALL?",
                          "CALCulate:TRANsform:HISTogram:RANGe:AUTO?",
                          "CALCulate:AVERage:ALL?",
                          "CALCulate:AVERage:PTPeak?",
                          "CALCulate:AVERage:COUNt?",
                          "VOLT:DC:RANGE?"};
    int failures = Failures();
    for (const std::string& query : queries) {
        m_device->SetSilent(false);
        m_device->SilenceAt(query);
        Sent();
        m_dcv->Start();
        ASSERT_TRUE(m_dcv->WaitForWorkerEnd(kWait)) << query;
        Strings sent = Sent();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back(), query);
        EXPECT_EQ(Failures(), ++failures) << query;
    }
}

TEST_F(DcvWorker, SettingsCommandsLandBetweenCompleteCycles) {
    functions::g_trendViewActive = true;
    functions::g_histogramViewActive = true;
    functions::g_statisticsViewActive = true;
    m_dcv->OnMenuItem(7);  // automatic range: the cycle ends with the range query
    Sent();
    const Strings cycle{"DATA:LAST?",
                        "CALCulate:TRENd:CHARt:MODe?",
                        "CALCulate:TRENd:CHARt:DATA?",
                        "CALCulate:TRANsform:HISTogram:ALL?",
                        "CALCulate:TRANsform:HISTogram:RANGe:AUTO?",
                        "CALCulate:AVERage:ALL?",
                        "CALCulate:AVERage:PTPeak?",
                        "CALCulate:AVERage:COUNt?",
                        "VOLT:DC:RANGE?"};

    m_dcv->Start();
    auto trend = std::make_unique<functions::KVTTrendData>();
    auto histogram = std::make_unique<functions::KVTHistogramData>();
    const int kCommands = 6;
    for (int i = 0; i < kCommands; ++i) {
        WaitForMoreReadings(1);
        // The display reads run while the worker writes the next cycle.
        EXPECT_FALSE(m_dcv->GetDisplayText().empty());
        EXPECT_FALSE(m_dcv->GetUnitLabel().empty());
        EXPECT_FALSE(m_dcv->GetRange().empty());
        functions::CopyTrendData(*trend);
        functions::CopyHistogramData(*histogram);
        EXPECT_LE(histogram->binCount, functions::kHistogramCapacity);
        (void)m_dcv->GetStatistics();
        m_dcv->OnMenuItem(3);
    }
    m_dcv->Pause();

    Strings messages = Sent();
    int commands = 0;
    int cycles = 0;
    for (size_t i = 0; i < messages.size();) {
        if (messages[i] == cycle[0]) {
            ASSERT_LE(i + cycle.size(), messages.size()) << "cycle cut short at " << i;
            Strings seen(messages.begin() + static_cast<long>(i),
                         messages.begin() + static_cast<long>(i + cycle.size()));
            ASSERT_EQ(seen, cycle) << "at message " << i;
            i += cycle.size();
            ++cycles;
        } else {
            EXPECT_TRUE(messages[i] == "VOLT:DC:FILTER ON" || messages[i] == "VOLT:DC:FILTER OFF")
                << messages[i];
            ++commands;
            ++i;
        }
    }
    EXPECT_EQ(commands, kCommands);
    EXPECT_GE(cycles, kCommands);
    EXPECT_TRUE(trend->mode == "ALL" || trend->mode == "REC") << trend->mode;
    EXPECT_GT(histogram->binCount, 0);
}

TEST_F(DcvWorker, ShutdownJoinsWithoutSendingAnything) {
    m_dcv->Start();
    WaitForMoreReadings(1);
    m_dcv->Shutdown();
    EXPECT_FALSE(m_dcv->IsWorkerRunning());
    for (const std::string& message : Sent()) {
        EXPECT_EQ(message, "DATA:LAST?");
    }

    // A worker that never ran, and one that is paused, end as well.
    functions::CKVTFunctionDCV idle(&m_panel);
    idle.Init();
    idle.Shutdown();
    EXPECT_FALSE(idle.IsWorkerRunning());
    m_dcv->Start();
    WaitForMoreReadings(1);
    m_dcv->Pause();
    m_dcv->Shutdown();
    EXPECT_FALSE(m_dcv->IsWorkerRunning());
    EXPECT_EQ(m_dcv->WorkerGeneration(), 2u);
}

TEST_F(DcvWorker, CycleTimeIsLoggedWhenAsked) {
    std::mutex mutex;
    Strings lines;
    m_dcv->SetCycleLog([&](std::string_view line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.emplace_back(line);
    });
    m_dcv->Start();
    WaitForMoreReadings(2);
    m_dcv->Pause();
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_GE(lines.size(), 2u);
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d+\.\d{4}\n)"))) << line;
    }
}

TEST_F(DcvWorker, SavingWhileTheWorkerRunsWritesACompleteFile) {
    m_dcv->Start();
    WaitForMoreReadings(3);
    std::string path =
        ::testing::TempDir() + "kvt-worker-save-" + std::to_string(getpid()) + ".csv";
    std::string error;
    ASSERT_TRUE(m_dcv->SaveHistory(path, &error)) << error;
    m_dcv->Pause();
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::string text;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(file);
    std::remove(path.c_str());
    // Every line complete, however many the worker added meanwhile.
    const std::regex line(R"(-?\d+\.\d{12},\r)");
    size_t lines = 0;
    for (size_t start = 0; start < text.size(); ++lines) {
        size_t end = text.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "last line cut short";
        ASSERT_TRUE(std::regex_match(text.substr(start, end - start), line)) << start;
        start = end + 1;
    }
    EXPECT_GE(lines, 3u);
}

using ScriptedWorker = FunctionsFixture;

TEST_F(ScriptedWorker, UnansweredRangeQueryInAutoEndsTheWorker) {
    m_device->Answer("DATA:LAST?", "+1.50000000E+00 VDC\n");
    m_dcv->OnMenuItem(7);
    Sent();
    m_dcv->Start();
    ASSERT_TRUE(m_dcv->WaitForWorkerEnd(kWait));
    EXPECT_EQ(Sent(), (Strings{"DATA:LAST?", "VOLT:DC:RANGE?"}));
    EXPECT_EQ(m_panel.NewReadings(), 0);
    EXPECT_EQ(m_dcv->GetReadingText(), "+1.500000000000");
    EXPECT_EQ(m_dcv->GetRange(), "200mV");
}

}  // namespace
}  // namespace kvt::test
