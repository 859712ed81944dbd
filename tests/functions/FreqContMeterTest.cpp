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
        ASSERT_TRUE(this->panel_.WaitForNewReadings(this->panel_.NewReadings() + count, kWait));
    }
};

using FreqPerMeter = OnTheMeter<CKVTFunctionFreqPer>;
using ContMeter = OnTheMeter<CKVTFunctionCont>;

TEST_F(FreqPerMeter, PeriodModeIsReadBackAndAutoRangeIsFollowedEachCycle) {
    Begin("PER");
    f_->SyncFromInstrument();
    EXPECT_EQ(f_->GetName(), "Period");
    EXPECT_EQ(f_->GetBaseUnit(), "S");
    EXPECT_EQ(Failures(), 0);

    f_->OnMenuItem(79);  // Auto
    Sent();
    f_->Start();
    WaitForMoreReadings(3);
    f_->Pause();
    Strings sent = Sent();
    ASSERT_GE(sent.size(), 4u);
    for (size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(sent[i], i % 2 == 0 ? "DATA:LAST?" : "FREQ:VOLT:RANGE?") << i;
    }
    EXPECT_TRUE(std::regex_match(f_->GetDisplayText(), std::regex(R"([+-][0-9.]{7}|Overload)")))
        << f_->GetDisplayText();
    EXPECT_TRUE(std::regex_match(f_->GetUnitLabel(), std::regex("nS|uS|mS|S|KS")))
        << f_->GetUnitLabel();
    EXPECT_FALSE(f_->HistorySnapshot().empty());
}

TEST_F(ContMeter, ThresholdAndBeeperRoundTripAndReadingsFillTheHistory) {
    Begin("CONT");
    f_->SyncFromInstrument();
    EXPECT_EQ(f_->GetTinyMenuText(), "+0050 Ω");
    f_->ShowMainMenu();
    f_->OnSoftKey(CKVTFunctionCont::kCursorUp);  // thousands: 1050
    f_->OnSoftKey(0);                            // beeper toggled
    std::string beeper = f_->GetBeeper();
    CKVTFunctionCont fresh(&panel_);
    fresh.Init();
    fresh.SyncFromInstrument();
    EXPECT_EQ(fresh.GetTinyMenuText(), "+1050 Ω");
    EXPECT_EQ(fresh.GetBeeper(), beeper);
    EXPECT_EQ(Failures(), 0);

    Sent();
    f_->Start();
    WaitForMoreReadings(3);
    f_->Pause();
    for (const std::string& message : Sent()) {
        EXPECT_EQ(message, "DATA:LAST?");
    }
    EXPECT_TRUE(std::regex_match(f_->GetDisplayText(), std::regex(R"(open|[+-][0-9.]{7})")))
        << f_->GetDisplayText();
    EXPECT_GE(f_->HistorySnapshot().size(), 3u);
}

}  // namespace
}  // namespace kvt::test
