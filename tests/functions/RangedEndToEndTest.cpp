// Each ranged function measuring against the process's simulated meter
// through the VISA layer's in-process simulation: automatic ranging picks
// the meter's range, and the display shows the meter's input in that
// range's unit.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <map>
#include <regex>
#include <string>

#include "functions/ReadingDisplay.h"
#include "link/CommunicationFailure.h"
#include "link/CoreCommands.h"
#include "link/IConnection.h"
#include "link/Numbers.h"
#include "link/Pacer.h"
#include "sim/SimulatedMeter.h"
#include "tests/functions/RangedCases.h"
#include "tests/functions/RangedFixture.h"
#include "tests/functions/RecordingPanel.h"
#include "visa/Simulation.h"

namespace kvt::test {
namespace {

constexpr std::chrono::seconds kWait{30};

// The simulated meter's inputs, in base units.
const std::map<std::string, double> kInputs{{"CURR", 0.0153},    {"VOLT:AC", 0.7071},
                                            {"CURR:AC", 0.1002}, {"RES", 1000.37},
                                            {"FRES", 109.735},   {"CAP", 100.2e-9}};

// What one displayed unit is worth in base units.
const std::map<std::string, double> kUnitValues{
    {"uADC", 1e-6}, {"mADC", 1e-3}, {"ADC", 1},  {"mVAC", 1e-3}, {"VAC", 1},   {"mAAC", 1e-3},
    {"AAC", 1},     {"Ω", 1},       {"KΩ", 1e3}, {"MΩ", 1e6},    {"nF", 1e-9}, {"uF", 1e-6}};

class RangedEndToEnd : public ::testing::TestWithParam<RangedCase> {
protected:
    void SetUp() override {
        setenv("KORVATA_VISA_SIMULATE", "1", 1);
        sim::InstallSimulatedMeter();
        link::InstallPacer(&m_pacer);
        link::SetCommunicationFailureHandler([](std::string_view, std::string_view) {});
        ASSERT_TRUE(link::GetConnection()->Open("TCPIP0::192.0.2.9::inst0::INSTR"));
    }

    void TearDown() override {
        link::GetConnection()->Close();
        link::SetCommunicationFailureHandler({});
        link::InstallPacer(nullptr);
        visa::InstallSimulatedDevice({});
        unsetenv("KORVATA_VISA_SIMULATE");
    }

    link::RecordingPacer m_pacer;
    RecordingPanel m_panel;
};

TEST_P(RangedEndToEnd, MeasuresTheMetersInputOnTheRangeItPicks) {
    const RangedCase& c = GetParam();
    link::SetFunction(c.instrumentName);
    link::SetTriggerCountInfinite();
    link::Initiate();
    auto function = c.make(&m_panel);
    function->Init();
    function->OnMenuItem(c.rangeChoiceIds[0]);  // automatic ranging
    function->SyncFromInstrument();
    ASSERT_EQ(function->GetRangeMode(), "Auto");

    // Until its first measurement the meter answers "no reading" (shown as
    // an overload); wait for readings until a measured one has arrived.
    function->Start();
    auto deadline = std::chrono::steady_clock::now() + kWait;
    int notices = 0;
    do {
        notices = m_panel.NewReadings() + 1;
        ASSERT_TRUE(m_panel.WaitForNewReadings(notices, kWait));
    } while (function->GetReadingText() == "Overload" &&
             std::chrono::steady_clock::now() < deadline);
    function->Pause();
    std::string reading = function->GetReadingText();
    ASSERT_TRUE(std::regex_match(reading, std::regex(R"([+-]\d+\.\d{12})")))
        << reading << " on " << function->GetRange();
    EXPECT_NEAR(link::ParseNumber(reading), kInputs.at(c.instrumentName),
                kInputs.at(c.instrumentName) * 0.02);

    std::string shown = function->GetDisplayText();
    std::string unit = function->GetUnitLabel();
    SCOPED_TRACE(shown + " " + unit + " on " + function->GetRange());
    EXPECT_TRUE(std::regex_match(shown, std::regex(R"([+-][0-9.]{7})")));
    ASSERT_EQ(kUnitValues.count(unit), 1u);
    double shownValue = link::ParseNumber(shown) * kUnitValues.at(unit);
    EXPECT_NEAR(shownValue, kInputs.at(c.instrumentName), kInputs.at(c.instrumentName) * 0.02);
    // Padded to the integer digits of the range the meter picked
    // (resistance one more).
    bool resistance = unit.ends_with("Ω");
    int digits = functions::LeadingDigits(function->GetRange()) + (resistance ? 1 : 0);
    EXPECT_EQ(shown.find('.'), static_cast<size_t>(digits) + 1);
    EXPECT_GE(function->HistorySnapshot().size(), static_cast<size_t>(notices));
}

INSTANTIATE_TEST_SUITE_P(Functions, RangedEndToEnd, ::testing::ValuesIn(RangedCases()), CaseName);

}  // namespace
}  // namespace kvt::test
