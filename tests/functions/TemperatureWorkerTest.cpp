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
        ASSERT_TRUE(m_panel.WaitForNewReadings(m_panel.NewReadings() + count, kWait));
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
    m_f->Start();
    WaitForMoreReadings(3);
    // The meter reports an overload until it has taken its first reading.
    auto deadline = std::chrono::steady_clock::now() + kWait;
    while (m_f->GetReadingText() == "Overload" && std::chrono::steady_clock::now() < deadline) {
        WaitForMoreReadings(1);
    }
    m_f->Pause();
    Strings sent = Sent();
    ExpectCycles(sent, {"DATA:LAST?", "TEMP:CAD?"});
    EXPECT_EQ(sent.size() % 2, 0u);
    EXPECT_TRUE(std::regex_match(m_f->GetReadingText(), std::regex(R"([+-]\d+\.\d{12})")))
        << m_f->GetReadingText();
    // The default sensor is a thermocouple: its value in volts.
    EXPECT_TRUE(std::regex_match(m_f->GetMeasuredText(), std::regex(R"([+-]\d\.\d{5})")))
        << m_f->GetMeasuredText();
    EXPECT_EQ(m_f->GetUnitLabel().substr(m_f->GetUnitLabel().size() - 3), "℃");
    EXPECT_TRUE(m_f->HistorySnapshot().empty());
    EXPECT_EQ(Failures(), 0);
}

// The worker reads on its own; the one-reading operation of the other
// functions asks nothing and records nothing here.
TEST_F(TemperatureWorker, ReadOnceSendsNothingAndKeepsNoHistory) {
    EXPECT_TRUE(m_f->ReadOnce());
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(m_f->HistorySnapshot().empty());
    EXPECT_EQ(m_f->GetReadingText(), "●.●●●●●");
}

TEST_F(TemperatureWorker, StatisticsFollowBothQueries) {
    functions::g_statisticsViewActive = true;
    m_f->Start();
    WaitForMoreReadings(2);
    m_f->Pause();
    ExpectCycles(Sent(), {"DATA:LAST?", "TEMP:CAD?", "CALCulate:AVERage:ALL?",
                          "CALCulate:AVERage:PTPeak?", "CALCulate:AVERage:COUNt?"});
    EXPECT_FALSE(m_f->GetStatistics().average.empty());
}

TEST_F(TemperatureWorker, EndsWhenTheMeasuredValueIsNotAnswered) {
    m_f->Start();
    WaitForMoreReadings(1);
    m_device->Answer("TEMP:CAD?", "");
    ASSERT_TRUE(m_f->WaitForWorkerEnd(kWait));
    int notices = m_panel.NewReadings();
    Strings sent = Sent();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent[sent.size() - 2], "DATA:LAST?");
    EXPECT_EQ(sent.back(), "TEMP:CAD?");

    // The next start makes a new worker, which reads again.
    m_device->Answer("TEMP:CAD?", "KITS90|+1.25000000E-03,V\n");
    m_f->Start();
    WaitForMoreReadings(1);
    m_f->Pause();
    EXPECT_EQ(m_f->WorkerGeneration(), 2u);
    EXPECT_GT(m_panel.NewReadings(), notices);
    EXPECT_EQ(m_f->GetMeasuredText(), "+1.25000");
}

TEST_F(TemperatureWorker, EndsWhenTheReadingIsNotAnswered) {
    m_f->Start();
    WaitForMoreReadings(1);
    m_device->Answer("DATA:LAST?", "");
    ASSERT_TRUE(m_f->WaitForWorkerEnd(kWait));
    Strings sent = Sent();
    ASSERT_FALSE(sent.empty());
    // The cycle stops at the unanswered reading: no measured-value query.
    EXPECT_EQ(sent.back(), "DATA:LAST?");
    EXPECT_FALSE(m_f->IsWorkerRunning());
}

TEST_F(TemperatureWorker, SyncFromTheSimulatedMeter) {
    link::SetTemperatureUnit("K");
    m_f->SyncFromInstrument();
    EXPECT_EQ(m_f->GetSensor(), "KITS90");
    EXPECT_EQ(m_f->GetUnit(), "K");
    EXPECT_EQ(m_f->GetDisplayMode(), "Temp Val");
    EXPECT_EQ(m_f->GetNull(), "Off");
    m_f->ChooseSensor(0, 1, "PT100");
    m_f->SyncFromInstrument();
    EXPECT_EQ(m_f->GetSensor(), "PT100");
    EXPECT_EQ(Failures(), 0);
}

}  // namespace
}  // namespace kvt::test
