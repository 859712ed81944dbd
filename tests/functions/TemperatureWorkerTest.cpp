// The temperature worker against the simulated meter: two queries a
// cycle, the views' data after them, no history, and the end of the worker
// when either query goes unanswered.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "functions/CKVTFunctionTemperature.h"
#include "functions/ProgramRecords.h"
#include "link/CoreCommands.h"
#include "link/TemperatureCommands.h"
#include "tests/functions/FunctionUnderTest.h"

namespace kvt::test {
namespace {

using functions::CKVTFunctionTemperature;
using Strings = std::vector<std::string>;
constexpr std::chrono::seconds kWait{20};

class TemperatureWorker : public FunctionUnderTest<CKVTFunctionTemperature, true> {
protected:
    void SetUp() override {
        FunctionUnderTest::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        link::SetFunction("TEMP");
        link::SetTriggerCountInfinite();
        link::Initiate();
        Sent();
    }

    void WaitForMoreReadings(int count) {
        ASSERT_TRUE(panel_.WaitForNewReadings(panel_.NewReadings() + count, kWait));
    }

    // Every cycle in messages, checked to be made of exactly cycle.
    static void ExpectCycles(const Strings& messages, const Strings& cycle) {
        ASSERT_FALSE(messages.empty());
        for (size_t i = 0; i < messages.size(); ++i) {
            EXPECT_EQ(messages[i], cycle[i % cycle.size()]) << i;
        }
    }
};

TEST_F(TemperatureWorker, TwoQueriesACycleAndNoHistory) {
    f_->Start();
    WaitForMoreReadings(3);
    // The meter reports an overload until it has taken its first reading.
    auto deadline = std::chrono::steady_clock::now() + kWait;
    while (f_->GetReadingText() == "Overload" && std::chrono::steady_clock::now() < deadline) {
        WaitForMoreReadings(1);
    }
    f_->Pause();
    Strings sent = Sent();
    ExpectCycles(sent, {"DATA:LAST?", "TEMP:CAD?"});
    EXPECT_EQ(sent.size() % 2, 0u);
    EXPECT_TRUE(std::regex_match(f_->GetReadingText(), std::regex(R"([+-]\d+\.\d{12})")))
        << f_->GetReadingText();
    // The default sensor is a thermocouple: its value in volts.
    EXPECT_TRUE(std::regex_match(f_->GetMeasuredText(), std::regex(R"([+-]\d\.\d{5})")))
        << f_->GetMeasuredText();
    EXPECT_EQ(f_->GetUnitLabel().substr(f_->GetUnitLabel().size() - 3), "℃");
    EXPECT_TRUE(f_->HistorySnapshot().empty());
    EXPECT_EQ(Failures(), 0);
}

// The worker reads on its own; the one-reading operation of the other
// functions asks nothing and records nothing here.
TEST_F(TemperatureWorker, ReadOnceSendsNothingAndKeepsNoHistory) {
    EXPECT_TRUE(f_->ReadOnce());
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(f_->HistorySnapshot().empty());
    EXPECT_EQ(f_->GetReadingText(), "●.●●●●●");
}

TEST_F(TemperatureWorker, StatisticsFollowBothQueries) {
    functions::g_statisticsViewActive = true;
    f_->Start();
    WaitForMoreReadings(2);
    f_->Pause();
    ExpectCycles(Sent(), {"DATA:LAST?", "TEMP:CAD?", "CALCulate:AVERage:ALL?",
                          "CALCulate:AVERage:PTPeak?", "CALCulate:AVERage:COUNt?"});
    EXPECT_FALSE(f_->GetStatistics().average.empty());
}

TEST_F(TemperatureWorker, EndsWhenTheMeasuredValueIsNotAnswered) {
    f_->Start();
    WaitForMoreReadings(1);
    device_->Answer("TEMP:CAD?", "");
    ASSERT_TRUE(f_->WaitForWorkerEnd(kWait));
    int notices = panel_.NewReadings();
    Strings sent = Sent();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], "DATA:LAST?");
    EXPECT_EQ(sent.back(), "TEMP:CAD?");

    // The next start makes a new worker, which reads again.
    device_->Answer("TEMP:CAD?", "KITS90|+1.25000000E-03,V\n");
    f_->Start();
    WaitForMoreReadings(1);
    f_->Pause();
    EXPECT_EQ(f_->WorkerGeneration(), 2u);
    EXPECT_GT(panel_.NewReadings(), notices);
    EXPECT_EQ(f_->GetMeasuredText(), "+1.25000");
}

TEST_F(TemperatureWorker, EndsWhenTheReadingIsNotAnswered) {
    f_->Start();
    WaitForMoreReadings(1);
    device_->Answer("DATA:LAST?", "");
    ASSERT_TRUE(f_->WaitForWorkerEnd(kWait));
    Strings sent = Sent();
    ASSERT_FALSE(sent.empty());
    // The cycle stops at the unanswered reading: no measured-value query.
    EXPECT_EQ(sent.back(), "DATA:LAST?");
    EXPECT_FALSE(f_->IsWorkerRunning());
}

TEST_F(TemperatureWorker, SyncFromTheSimulatedMeter) {
    link::SetTemperatureUnit("K");
    f_->SyncFromInstrument();
    EXPECT_EQ(f_->GetSensor(), "KITS90");
    EXPECT_EQ(f_->GetUnit(), "K");
    EXPECT_EQ(f_->GetDisplayMode(), "Temp Val");
    EXPECT_EQ(f_->GetNull(), "Off");
    f_->ChooseSensor(0, 1, "PT100");
    f_->SyncFromInstrument();
    EXPECT_EQ(f_->GetSensor(), "PT100");
    EXPECT_EQ(Failures(), 0);
}

}  // namespace
}  // namespace kvt::test
