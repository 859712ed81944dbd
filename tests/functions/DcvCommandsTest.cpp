// What each DC voltage operation puts on the wire, and which pauses follow.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "functions/ProgramRecords.h"
#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

using Strings = std::vector<std::string>;
using DcvCommands = FunctionsFixture;

TEST_F(DcvCommands, TogglesSendTheirSettingAndSettle) {
    struct Case {
        int item;
        Strings wire;
    };
    const Case cases[] = {
        {3, {"VOLT:DC:FILTER ON"}},  {3, {"VOLT:DC:FILTER OFF"}}, {4, {"VOLT:DC:INPUTZ 10M"}},
        {4, {"VOLT:DC:INPUTZ 10G"}}, {5, {"VOLT:DC:NULL ON"}},    {5, {"VOLT:DC:NULL OFF"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wire[0]);
        dcv_->GetItem(c.item)->Press();
        EXPECT_EQ(Timeline(), EachFollowedBy(c.wire, 100));
    }
}

TEST_F(DcvCommands, RangeChoicesSettleFor300Milliseconds) {
    struct Case {
        int item;
        const char* wire;
    };
    const Case cases[] = {{8, "VOLT:DC:RANGE 0.200"}, {9, "VOLT:DC:RANGE 2"},
                          {10, "VOLT:DC:RANGE 20"},   {11, "VOLT:DC:RANGE 200"},
                          {12, "VOLT:DC:RANGE 1000"}, {7, "VOLT:DC:RANGE:AUTO ON"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wire);
        dcv_->OnMenuItem(c.item);
        EXPECT_EQ(Timeline(), (Strings{c.wire, "pause 300"}));
    }
}

TEST_F(DcvCommands, SpeedChoicesGoOutWithoutPause) {
    const std::pair<int, const char*> cases[] = {
        {14, "VOLT:DC:NPLC 1"}, {15, "VOLT:DC:NPLC 0.3"}, {13, "VOLT:DC:NPLC 10"}};
    for (const auto& [item, wire] : cases) {
        dcv_->OnMenuItem(item);
        EXPECT_EQ(Timeline(), Strings{wire});
    }
}

TEST_F(DcvCommands, PageKeysAndUnknownIdsSendNothing) {
    for (int id : {1, 2, 6, 16, 0, -3}) {
        dcv_->OnMenuItem(id);
    }
    EXPECT_EQ(Timeline(), Strings{});
}

TEST_F(DcvCommands, ScaleOperationsSendSettleAndRemember) {
    dcv_->SetScaleState(1);
    dcv_->SetScaleFunction("DB");
    dcv_->SetDbReference(3);
    dcv_->SetDbmReference(600);
    dcv_->SetReferenceAuto(1);
    EXPECT_EQ(Timeline(),
              EachFollowedBy({"CALCulate:SCALe:STATe 1", "CALCulate:SCALe:FUNCtion DB",
                              "CALCulate:SCALe:DB:REFerence 3", "CALCulate:SCALe:DBM:REFerence 600",
                              "CALCulate:SCALe:REFerence:AUTO 1"},
                             100));
    functions::KVTScaleSettings scale = dcv_->ScaleSnapshot();
    EXPECT_TRUE(scale.valid);
    EXPECT_EQ(scale.state, 1);
    EXPECT_EQ(scale.function, "dB");
    EXPECT_EQ(scale.dbReference, 3);
    EXPECT_EQ(scale.dbmReference, 600);
    EXPECT_EQ(scale.referenceAuto, 1);
    EXPECT_EQ(dcv_->GetUnitLabel(), "dB");
    EXPECT_EQ(dcv_->GetScaleSettings()->function, "dB");

    dcv_->SetScaleFunction("DBM");
    EXPECT_EQ(dcv_->GetUnitLabel(), "dBm");
    dcv_->SetScaleState(0);
    EXPECT_EQ(dcv_->GetUnitLabel(), "mVDC");
}

TEST_F(DcvCommands, TrendModeIsSetUnderTheLockWithItsPause) {
    dcv_->SetTrendModeLocked("REC");
    EXPECT_EQ(Timeline(), (Strings{"CALCulate:TRENd:CHARt:MODe REC", "pause 100"}));
}

TEST_F(DcvCommands, SyncFromInstrumentReadsEverySettingBack) {
    device_->Answer("CALCulate:LIMit:STATe?", "1\n");
    device_->Answer("CALCulate:LIMit:LOWer?", "-5.00000000E-01\n");
    device_->Answer("CALCulate:LIMit:UPPer?", "+2.50000000E+00\n");
    device_->Answer("VOLT:DC:RANGE:AUTO?", "1\n");
    device_->Answer("VOLT:DC:RANGE?", "+2.00000000E-01\n");
    device_->Answer("VOLT:DC:NPLC?", "+3.00000000E-01\n");
    device_->Answer("VOLT:DC:FILTER?", "0\n");
    device_->Answer("VOLT:DC:IMP?", "10G\n");
    device_->Answer("VOLT:DC:NULL?", "1\n");
    device_->Answer("CALCulate:SCALe:STATe?", "1\n");
    device_->Answer("CALCulate:SCALe:FUNCtion?", "DBM\n");
    device_->Answer("CALCulate:SCALe:DBM:REFerence?", "+6.00000000E+02\n");
    device_->Answer("CALCulate:SCALe:DB:REFerence?", "+3.00000000E+00\n");
    device_->Answer("CALCulate:SCALe:REFerence:AUTO?", "1\n");
    dcv_->SyncFromInstrument();

    // Each query with its own pause and nothing else between them.
    EXPECT_EQ(Timeline(),
              EachFollowedBy(
                  {"CALCulate:LIMit:STATe?", "CALCulate:LIMit:LOWer?", "CALCulate:LIMit:UPPer?",
                   "VOLT:DC:RANGE:AUTO?", "VOLT:DC:RANGE?", "VOLT:DC:NPLC?", "VOLT:DC:FILTER?",
                   "VOLT:DC:IMP?", "VOLT:DC:NULL?", "CALCulate:SCALe:STATe?",
                   "CALCulate:SCALe:FUNCtion?", "CALCulate:SCALe:DBM:REFerence?",
                   "CALCulate:SCALe:DB:REFerence?", "CALCulate:SCALe:REFerence:AUTO?"},
                  100));
    EXPECT_EQ(functions::g_limitState.load(), 1);
    EXPECT_DOUBLE_EQ(functions::g_limitLower.load(), -0.5);
    EXPECT_DOUBLE_EQ(functions::g_limitUpper.load(), 2.5);
    EXPECT_EQ(dcv_->GetRangeMode(), "Auto");
    EXPECT_EQ(dcv_->GetRange(), "200mV");
    EXPECT_EQ(dcv_->GetSpeed(), "Fast");
    EXPECT_EQ(dcv_->GetFilter(), "Off");
    EXPECT_EQ(dcv_->GetInputImpedance(), "10G");
    EXPECT_EQ(dcv_->GetRel(), "On");
    functions::KVTScaleSettings scale = dcv_->ScaleSnapshot();
    EXPECT_EQ(scale, (functions::KVTScaleSettings{true, 1, "dBm", 3, 600, 1}));
    EXPECT_EQ(dcv_->GetUnitLabel(), "dBm");
    EXPECT_EQ(Failures(), 0);
}

TEST_F(DcvCommands, SilentInstrumentLeavesSettingsEmpty) {
    dcv_->SyncFromInstrument();
    EXPECT_EQ(dcv_->GetRangeMode(), "");
    EXPECT_EQ(dcv_->GetRange(), "");
    EXPECT_EQ(dcv_->GetFilter(), "");
    // The unit label keeps what the last real range gave.
    EXPECT_EQ(dcv_->GetUnitLabel(), "mVDC");
    EXPECT_GT(Failures(), 0);
    dcv_->ShowMainMenu();
    EXPECT_EQ(dcv_->GetItem(3)->GetValue(), "Off");
    EXPECT_EQ(dcv_->GetItem(4)->GetValue(), "10G");
    EXPECT_EQ(dcv_->GetSoftKeyTitle(3), "");
}

}  // namespace
}  // namespace kvt::test
