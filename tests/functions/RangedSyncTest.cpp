// Settings read back from the instrument by DC current, AC voltage, AC
// current, both resistances and capacitance: the queries and their order,
// a round trip through the simulated meter, and what the main menu then
// marks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "functions/CKVTFunctionACV.h"
#include "tests/functions/RangedFixture.h"

namespace kvt::test {
namespace {

using Strings = std::vector<std::string>;

bool HasSpeed(const RangedCase& c) {
    return !c.speedPage[0].empty();
}

Strings ExpectedQueries(const RangedCase& c) {
    const Strings limits{"CALCulate:LIMit:STATe?", "CALCulate:LIMit:LOWer?",
                         "CALCulate:LIMit:UPPer?"};
    std::string root = c.root;
    Strings settings{root + ":RANGE:AUTO?", root + ":RANGE?"};
    if (HasSpeed(c)) {
        settings.push_back(root + ":NPLC?");
    }
    if (c.hasFilter) {
        settings.push_back(root + ":FILTER?");
    }
    settings.push_back(root + ":NULL?");
    Strings queries;
    if (std::string(c.label) == "ACV") {
        // AC voltage: limits first, its scaling last.
        queries = limits;
        queries.insert(queries.end(), settings.begin(), settings.end());
        queries.insert(queries.end(),
                       {"CALCulate:SCALe:STATe?", "CALCulate:SCALe:FUNCtion?",
                        "CALCulate:SCALe:DBM:REFerence?", "CALCulate:SCALe:DB:REFerence?",
                        "CALCulate:SCALe:REFerence:AUTO?"});
    } else {
        queries = settings;
        queries.insert(queries.end(), limits.begin(), limits.end());
    }
    return queries;
}

using RangedSync = RangedMeterFixture;

TEST_P(RangedSync, SettingsMadeOnTheMeterComeBackAndAreMarked) {
    const RangedCase& c = GetParam();
    // Set through the keys: the last range, "Fast", filter and null on.
    int lastRange = c.rangeChoiceIds.back();
    m_function->OnMenuItem(lastRange);
    if (HasSpeed(c)) {
        m_function->OnMenuItem(c.speedIds[2]);
    }
    if (c.hasFilter) {
        m_function->GetItem(m_function->FilterKeyId())->Press();
    }
    m_function->GetItem(m_function->RelKeyId())->Press();
    Sent();

    auto fresh = c.make(&m_panel);
    fresh->Init();
    fresh->SyncFromInstrument();
    EXPECT_EQ(Sent(), ExpectedQueries(c));
    std::string rangeText = m_function->GetItem(lastRange)->m_keyText;
    EXPECT_EQ(fresh->GetRangeMode(), "Manual");
    EXPECT_EQ(fresh->GetRange(), rangeText);
    EXPECT_EQ(fresh->GetSpeed(), HasSpeed(c) ? "Fast" : "");
    EXPECT_EQ(fresh->GetFilter(), c.hasFilter ? "On" : "");
    EXPECT_EQ(fresh->GetRel(), "On");
    EXPECT_EQ(Failures(), 0);

    fresh->ShowMainMenu();
    EXPECT_EQ(fresh->GetSoftKeySubtitle(0), rangeText);
    EXPECT_TRUE(fresh->GetItem(lastRange)->m_checked);
    EXPECT_FALSE(fresh->GetItem(c.rangeChoiceIds[0])->m_checked);
    if (HasSpeed(c)) {
        EXPECT_EQ(fresh->GetSoftKeySubtitle(1), "Fast");
        EXPECT_TRUE(fresh->GetItem(c.speedIds[2])->m_checked);
        EXPECT_FALSE(fresh->GetItem(c.speedIds[0])->m_checked);
    }
    if (c.hasFilter) {
        EXPECT_EQ(fresh->GetSoftKeyItem(2)->GetValue(), "On");
    }
    EXPECT_EQ(fresh->GetSoftKeyItem(4)->GetValue(), "On");

    // Automatic ranging: the key says "Auto", the range is the meter's.
    m_function->OnMenuItem(c.rangeChoiceIds[0]);
    fresh->SyncFromInstrument();
    EXPECT_EQ(fresh->GetRangeMode(), "Auto");
    EXPECT_FALSE(fresh->GetRange().empty());
    fresh->ShowMainMenu();
    EXPECT_EQ(fresh->GetSoftKeySubtitle(0), "Auto");
    EXPECT_TRUE(fresh->GetItem(c.rangeChoiceIds[0])->m_checked);
    EXPECT_FALSE(fresh->GetItem(lastRange)->m_checked);
}

INSTANTIATE_TEST_SUITE_P(Functions, RangedSync, ::testing::ValuesIn(RangedCases()), CaseName);

using RangedSilent = RangedFixture;

TEST_P(RangedSilent, SilentInstrumentLeavesSettingsEmptyAndNothingChecked) {
    const RangedCase& c = GetParam();
    m_function->ShowMainMenu();
    m_function->SyncFromInstrument();
    EXPECT_GT(Failures(), 0);
    EXPECT_EQ(m_function->GetRangeMode(), "");
    EXPECT_EQ(m_function->GetRange(), "");
    EXPECT_EQ(m_function->GetSpeed(), "");
    EXPECT_EQ(m_function->GetRel(), "");
    m_function->ShowMainMenu();
    EXPECT_EQ(m_function->GetSoftKeySubtitle(0), "");
    for (int id : c.rangeChoiceIds) {
        EXPECT_FALSE(m_function->GetItem(id)->m_checked) << id;
    }
    EXPECT_EQ(m_function->GetSoftKeyItem(4)->GetValue(), "Off");
    EXPECT_EQ(ShownPage(*m_function), c.mainPage);
}

INSTANTIATE_TEST_SUITE_P(Functions, RangedSilent, ::testing::ValuesIn(RangedCases()), CaseName);

using AcvScale = FunctionsFixture;

TEST_F(AcvScale, ScaleOperationsSendSettleAndChangeTheDisplay) {
    functions::CKVTFunctionACV acv(&m_panel);
    acv.Init();
    acv.SetReadingText("-3.010299956640");
    EXPECT_EQ(acv.GetDisplayText(), "-3010.29");
    acv.SetScaleState(1);
    acv.SetScaleFunction("DB");
    acv.SetDbReference(3);
    acv.SetDbmReference(600);
    acv.SetReferenceAuto(1);
    EXPECT_EQ(Timeline(),
              EachFollowedBy({"CALCulate:SCALe:STATe 1", "CALCulate:SCALe:FUNCtion DB",
                              "CALCulate:SCALe:DB:REFerence 3", "CALCulate:SCALe:DBM:REFerence 600",
                              "CALCulate:SCALe:REFerence:AUTO 1"},
                             100));
    EXPECT_EQ(acv.ScaleSnapshot(), (functions::KVTScaleSettings{true, 1, "dB", 3, 600, 1}));
    EXPECT_EQ(acv.GetScaleSettings()->function, "dB");
    EXPECT_EQ(acv.GetUnitLabel(), "dB");
    EXPECT_EQ(acv.GetDisplayText(), "-3.0102");
    acv.SetReadingText("Overload");
    EXPECT_EQ(acv.GetDisplayText(), "Overload");

    acv.SetScaleFunction("DBM");
    EXPECT_EQ(acv.GetUnitLabel(), "dBm");
    acv.SetScaleState(0);
    EXPECT_EQ(acv.GetUnitLabel(), "mVAC");
}

using AcvScaleOnMeter = MeterFixture;

TEST_F(AcvScaleOnMeter, ScaleSettingsComeBackFromTheMeter) {
    functions::CKVTFunctionACV acv(&m_panel);
    acv.Init();
    acv.SetScaleFunction("DBM");
    acv.SetDbmReference(50);
    acv.SetScaleState(1);
    functions::CKVTFunctionACV fresh(&m_panel);
    fresh.Init();
    EXPECT_EQ(fresh.GetUnitLabel(), "mVAC");
    fresh.SyncFromInstrument();
    functions::KVTScaleSettings scale = fresh.ScaleSnapshot();
    EXPECT_TRUE(scale.valid);
    EXPECT_EQ(scale.state, 1);
    EXPECT_EQ(scale.function, "dBm");
    EXPECT_EQ(scale.dbmReference, 50);
    EXPECT_EQ(fresh.GetUnitLabel(), "dBm");
    EXPECT_EQ(Failures(), 0);
}

}  // namespace
}  // namespace kvt::test
