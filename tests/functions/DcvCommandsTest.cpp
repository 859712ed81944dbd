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
        m_dcv->GetItem(c.item)->Press();
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
        m_dcv->OnMenuItem(c.item);
        EXPECT_EQ(Timeline(), (Strings{c.wire, "pause 300"}));
    }
}

TEST_F(DcvCommands, SpeedChoicesGoOutWithoutPause) {
    const std::pair<int, const char*> cases[] = {
        {14, "VOLT:DC:NPLC 1"}, {15, "VOLT:DC:NPLC 0.3"}, {13, "VOLT:DC:NPLC 10"}};
    for (const auto& [item, wire] : cases) {
        m_dcv->OnMenuItem(item);
        EXPECT_EQ(Timeline(), Strings{wire});
    }
}

TEST_F(DcvCommands, PageKeysAndUnknownIdsSendNothing) {
    for (int id : {1, 2, 6, 16, 0, -3}) {
        m_dcv->OnMenuItem(id);
    }
    EXPECT_EQ(Timeline(), Strings{});
}

TEST_F(DcvCommands, ScaleOperationsSendSettleAndRemember) {
    m_dcv->SetScaleState(1);
    m_dcv->SetScaleFunction("DB");
    m_dcv->SetDbReference(3);
    m_dcv->SetDbmReference(600);
    m_dcv->SetReferenceAuto(1);
    EXPECT_EQ(Timeline(),
              EachFollowedBy({"CALCulate:SCALe:STATe 1", "CALCulate:SCALe:FUNCtion DB",
                              "CALCulate:SCALe:DB:REFerence 3", "CALCulate:SCALe:DBM:REFerence 600",
                              "CALCulate:SCALe:REFerence:AUTO 1"},
                             100));
    functions::KVTScaleSettings scale = m_dcv->ScaleSnapshot();
    EXPECT_TRUE(scale.valid);
    EXPECT_EQ(scale.state, 1);
    EXPECT_EQ(scale.function, "dB");
    EXPECT_EQ(scale.dbReference, 3);
    EXPECT_EQ(scale.dbmReference, 600);
    EXPECT_EQ(scale.referenceAuto, 1);
    EXPECT_EQ(m_dcv->GetUnitLabel(), "dB");
    EXPECT_EQ(m_dcv->GetScaleSettings()->function, "dB");

    m_dcv->SetScaleFunction("DBM");
    EXPECT_EQ(m_dcv->GetUnitLabel(), "dBm");
    m_dcv->SetScaleState(0);
    EXPECT_EQ(m_dcv->GetUnitLabel(), "mVDC");
}

TEST_F(DcvCommands, TrendModeIsSetUnderTheLockWithItsPause) {
    m_dcv->SetTrendModeLocked("REC");
    EXPECT_EQ(Timeline(), (Strings{"CALCulate:TRENd:CHARt:MODe REC", "pause 100"}));
}

TEST_F(DcvCommands, SyncFromInstrumentReadsEverySettingBack) {
    m_device->Answer("CALCulate:LIMit:STATe?", "1\n");
    m_device->Answer("CALCulate:LIMit:LOWer?", "-5.00000000E-01\n");
    m_device->Answer("CALCulate:LIMit:UPPer?", "+2.50000000E+00\n");
    m_device->Answer("VOLT:DC:RANGE:AUTO?", "1\n");
    m_device->Answer("VOLT:DC:RANGE?", "+2.00000000E-01\n");
    m_device->Answer("VOLT:DC:NPLC?", "+3.00000000E-01\n");
    m_device->Answer("VOLT:DC:FILTER?", "0\n");
    m_device->Answer("VOLT:DC:IMP?", "10G\n");
    m_device->Answer("VOLT:DC:NULL?", "1\n");
    m_device->Answer("CALCulate:SCALe:STATe?", "1\n");
    m_device->Answer("CALCulate:SCALe:FUNCtion?", "DBM\n");
    m_device->Answer("CALCulate:SCALe:DBM:REFerence?", "+6.00000000E+02\n");
    m_device->Answer("CALCulate:SCALe:DB:REFerence?", "+3.00000000E+00\n");
    m_device->Answer("CALCulate:SCALe:REFerence:AUTO?", "1\n");
    m_dcv->SyncFromInstrument();

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
    EXPECT_EQ(m_dcv->GetRangeMode(), "Auto");
    EXPECT_EQ(m_dcv->GetRange(), "200mV");
    EXPECT_EQ(m_dcv->GetSpeed(), "Fast");
    EXPECT_EQ(m_dcv->GetFilter(), "Off");
    EXPECT_EQ(m_dcv->GetInputImpedance(), "10G");
    EXPECT_EQ(m_dcv->GetRel(), "On");
    functions::KVTScaleSettings scale = m_dcv->ScaleSnapshot();
    EXPECT_EQ(scale, (functions::KVTScaleSettings{true, 1, "dBm", 3, 600, 1}));
    EXPECT_EQ(m_dcv->GetUnitLabel(), "dBm");
    EXPECT_EQ(Failures(), 0);
}

TEST_F(DcvCommands, SilentInstrumentLeavesSettingsEmpty) {
    m_dcv->SyncFromInstrument();
    EXPECT_EQ(m_dcv->GetRangeMode(), "");
    EXPECT_EQ(m_dcv->GetRange(), "");
    EXPECT_EQ(m_dcv->GetFilter(), "");
    // The unit label keeps what the last real range gave.
    EXPECT_EQ(m_dcv->GetUnitLabel(), "mVDC");
    EXPECT_GT(Failures(), 0);
    m_dcv->ShowMainMenu();
    EXPECT_EQ(m_dcv->GetItem(3)->GetValue(), "Off");
    EXPECT_EQ(m_dcv->GetItem(4)->GetValue(), "10G");
    EXPECT_EQ(m_dcv->GetSoftKeyTitle(3), "");
}

}  // namespace
}  // namespace kvt::test
