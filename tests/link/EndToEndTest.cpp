// Every command family against the full simulated meter, in process:
// what a setting command sets, its query reads back as the same label.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <memory>
#include <string>

#include "link/AnalysisCommands.h"
#include "link/CConectWithNI.h"
#include "link/CommunicationFailure.h"
#include "link/ConnectionSequences.h"
#include "link/CoreCommands.h"
#include "link/Pacer.h"
#include "link/RangeCommands.h"
#include "link/SettingsCommands.h"
#include "link/TemperatureCommands.h"
#include "sim/ManualClock.h"
#include "sim/MeterModel.h"
#include "sim/SimulatedMeter.h"
#include "visa/Simulation.h"

namespace kvt::test {
namespace {

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KORVATA_VISA_SIMULATE", "1", 1);
        sim::InstallSimulatedMeter();
        link::InstallPacer(&m_pacer);
        link::SetCommunicationFailureHandler(
            [this](std::string_view, std::string_view) { ++m_failures; });
        ASSERT_TRUE(link::GetConnection()->Open("USB?*INSTR"));
    }
    void TearDown() override {
        link::GetConnection()->Close();
        link::SetCommunicationFailureHandler({});
        link::InstallPacer(nullptr);
        visa::InstallSimulatedDevice({});
        unsetenv("KORVATA_VISA_SIMULATE");
    }

    link::RecordingPacer m_pacer;
    int m_failures = 0;
};

TEST_F(EndToEnd, FunctionAndReading) {
    link::SetFunction("VOLT:AC");
    EXPECT_EQ(link::GetFunction(), "VOLT:AC");
    EXPECT_EQ(link::StartMeasuring(), "VOLT:AC");
    std::string reading = link::ReadLastValue();
    ASSERT_FALSE(reading.empty());
    EXPECT_TRUE(reading == "Overload" || reading[0] == '+' || reading[0] == '-') << reading;
    EXPECT_EQ(m_failures, 0);
}

TEST_F(EndToEnd, RangesRoundTrip) {
    link::SetVoltDcRange("200mV");
    EXPECT_EQ(link::GetVoltDcRange(), "200mV");
    EXPECT_EQ(link::GetVoltDcAutoRange(), "Manual");
    link::SetVoltDcRange("Auto");
    EXPECT_EQ(link::GetVoltDcAutoRange(), "Auto");
    link::SetCurrDcRange("20mA");
    EXPECT_EQ(link::GetCurrDcRange(), "20mA");
    link::SetVoltAcRange("750V");
    EXPECT_EQ(link::GetVoltAcRange(), "750V");
    link::SetResRange("2KΩ");
    EXPECT_EQ(link::GetResRange(), "2KΩ");
    link::SetFresRange("100MΩ");
    EXPECT_EQ(link::GetFresRange(), "100MΩ");
    link::SetCapRange("200nF");
    EXPECT_EQ(link::GetCapRange(), "200nF");
    link::SetFreqRange("20V");
    EXPECT_EQ(link::GetFreqRange(), "20V");
    EXPECT_EQ(m_failures, 0);
}

TEST_F(EndToEnd, SettingsRoundTrip) {
    link::SetVoltDcSpeed("Slow");
    EXPECT_EQ(link::GetVoltDcSpeed(), "Slow");
    link::SetResSpeed("Fast");
    EXPECT_EQ(link::GetResSpeed(), "Fast");
    link::SetVoltDcFilter("On");
    EXPECT_EQ(link::GetVoltDcFilter(), "On");
    link::SetVoltDcInputImpedance("10G");
    EXPECT_EQ(link::GetVoltDcInputImpedance(), "10G");
    link::SetCapNull("On");
    EXPECT_EQ(link::GetCapNull(), "On");
    link::SetContinuityThreshold("50");
    EXPECT_EQ(link::GetContinuityThreshold(), "+0050");
    link::SetBeeper("Off");
    EXPECT_EQ(link::GetBeeper(), "Off");
    link::SetTemperatureUnit("℉");
    EXPECT_EQ(link::GetTemperatureUnit(), "℉");
    std::vector<std::string> names;
    EXPECT_TRUE(link::ReadTransducerList(link::kBuiltInThermocoupleList, names));
    EXPECT_FALSE(names.empty());
    EXPECT_EQ(m_failures, 0);
}

TEST_F(EndToEnd, CalculateTree) {
    EXPECT_TRUE(link::SetLimitState(1));
    EXPECT_EQ(link::GetLimitState(), 1);
    EXPECT_TRUE(link::SetLimitLower(-1.5));
    EXPECT_DOUBLE_EQ(link::GetLimitLower(), -1.5);
    EXPECT_TRUE(link::SetLimitUpper(2.25));
    EXPECT_DOUBLE_EQ(link::GetLimitUpper(), 2.25);
    EXPECT_TRUE(link::SetScaleState(1));
    EXPECT_EQ(link::GetScaleState(), 1);
    link::SetScaleFunction("DB");
    EXPECT_EQ(link::GetScaleFunction(), "dB");
    link::SetScaleFunction("DBM");
    EXPECT_EQ(link::GetScaleFunction(), "dBm");
    EXPECT_TRUE(link::SetDbReference(-10));
    EXPECT_EQ(link::GetDbReference(), -10);
    EXPECT_TRUE(link::SetDbmReference(600));
    EXPECT_EQ(link::GetDbmReference(), 600);
    EXPECT_TRUE(link::SetScaleAutoReference(0));
    EXPECT_EQ(link::GetScaleAutoReference(), 0);
    link::SetTrendChartMode("ALL");
    EXPECT_EQ(link::GetTrendChartMode(), "ALL");
    link::SetHistogramAutoRange(false);
    EXPECT_EQ(link::GetHistogramAutoRange(), 0);
    EXPECT_TRUE(link::SetHistogramPoints(20));
    EXPECT_TRUE(link::SetHistogramLower(-1));
    EXPECT_TRUE(link::SetHistogramUpper(1));
    link::ClearHistogram();
    link::ClearAverage();
    for (int i = 0; i < 5; ++i) {
        link::ReadLastValue();
    }
    uint32_t received = 0;
    link::ReadTrendChartData(link::kTrendBufferSize, &received);
    EXPECT_GT(received, 0u);
    link::ReadHistogramAll(link::kHistogramBufferSize, &received);
    EXPECT_GT(received, 0u);
    char averages[256];
    link::ReadAverageAll(averages, sizeof averages, &received);
    EXPECT_GT(received, 0u);
    EXPECT_FALSE(link::ReadAveragePeakToPeak().empty());
    EXPECT_EQ(m_failures, 0);
}

TEST_F(EndToEnd, AverageCountIsTheMetersOwnCount) {
    // A meter on a stopped clock: its count changes only when told to.
    auto clock = std::make_shared<sim::ManualClock>();
    auto meter = std::make_shared<sim::MeterModel>(3, clock);
    link::GetConnection()->Close();
    visa::InstallSimulatedDevice([meter] { return meter; });
    ASSERT_TRUE(link::GetConnection()->Open("USB?*INSTR"));
    link::SetTriggerCountInfinite();
    link::Initiate();
    link::ClearAverage();
    clock->Advance(std::chrono::seconds(5));
    std::string text = link::ReadAverageCountText();
    double count = link::ReadAverageCount();
    EXPECT_GT(count, 1);
    EXPECT_EQ(count, std::stod(text)) << text;
    link::ClearAverage();
    EXPECT_EQ(link::ReadAverageCount(), 0);
    EXPECT_EQ(m_failures, 0);
}

}  // namespace
}  // namespace kvt::test
