// Frequency/period and continuity against the simulated meter: settings
// read back, and their workers' cycles.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <vector>

#include "functions/CKVTFunctionCont.h"
#include "functions/CKVTFunctionFreqPer.h"
#include "link/CoreCommands.h"
#include "tests/functions/FunctionUnderTest.h"

namespace kvt::test {
namespace {

using functions::CKVTFunctionCont;
using functions::CKVTFunctionFreqPer;
using Strings = std::vector<std::string>;
constexpr std::chrono::seconds kWait{20};

template <class F>
class OnTheMeter : public FunctionUnderTest<F, true> {
protected:
    void Begin(const char* function) {
        link::SetFunction(function);
        link::SetTriggerCountInfinite();
        link::Initiate();
        this->Sent();
    }
    void WaitForMoreReadings(int count) {
        ASSERT_TRUE(this->m_panel.WaitForNewReadings(this->m_panel.NewReadings() + count, kWait));
    }
};

using FreqPerMeter = OnTheMeter<CKVTFunctionFreqPer>;
using ContMeter = OnTheMeter<CKVTFunctionCont>;

TEST_F(FreqPerMeter, PeriodModeIsReadBackAndAutoRangeIsFollowedEachCycle) {
    Begin("PER");
    m_f->SyncFromInstrument();
    EXPECT_EQ(m_f->GetName(), "Period");
    EXPECT_EQ(m_f->GetBaseUnit(), "S");
    EXPECT_EQ(Failures(), 0);

    m_f->OnMenuItem(79);  // Auto
    Sent();
    m_f->Start();
    WaitForMoreReadings(3);
    m_f->Pause();
    Strings sent = Sent();
    ASSERT_GE(sent.size(), 4u);
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i], i % 2 == 0 ? "DATA:LAST?" : "FREQ:VOLT:RANGE?") << i;
    }
    EXPECT_TRUE(std::regex_match(m_f->GetDisplayText(), std::regex(R"([+-][0-9.]{7}|Overload)")))
        << m_f->GetDisplayText();
    EXPECT_TRUE(std::regex_match(m_f->GetUnitLabel(), std::regex("nS|uS|mS|S|KS")))
        << m_f->GetUnitLabel();
    EXPECT_FALSE(m_f->HistorySnapshot().empty());
}

TEST_F(ContMeter, ThresholdAndBeeperRoundTripAndReadingsFillTheHistory) {
    Begin("CONT");
    m_f->SyncFromInstrument();
    EXPECT_EQ(m_f->GetTinyMenuText(), "+0050 Ω");
    m_f->ShowMainMenu();
    m_f->OnSoftKey(CKVTFunctionCont::kCursorUp);  // thousands: 1050
    m_f->OnSoftKey(0);                            // beeper toggled
    std::string beeper = m_f->GetBeeper();
    CKVTFunctionCont fresh(&m_panel);
    fresh.Init();
    fresh.SyncFromInstrument();
    EXPECT_EQ(fresh.GetTinyMenuText(), "+1050 Ω");
    EXPECT_EQ(fresh.GetBeeper(), beeper);
    EXPECT_EQ(Failures(), 0);

    Sent();
    m_f->Start();
    WaitForMoreReadings(3);
    m_f->Pause();
    for (const std::string& message : Sent()) {
        EXPECT_EQ(message, "DATA:LAST?");
    }
    EXPECT_TRUE(std::regex_match(m_f->GetDisplayText(), std::regex(R"(open|[+-][0-9.]{7})")))
        << m_f->GetDisplayText();
    EXPECT_GE(m_f->HistorySnapshot().size(), 3u);
}

}  // namespace
}  // namespace kvt::test
