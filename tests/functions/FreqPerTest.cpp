// Frequency/period: its pages, the mode toggle, the commands and pauses of
// each key, the prefixed reading texts and the settings read back.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "functions/CKVTFunctionFreqPer.h"
#include "functions/ProgramRecords.h"
#include "link/CoreCommands.h"
#include "tests/functions/FunctionUnderTest.h"

namespace kvt::test {
namespace {

using functions::CKVTFunctionFreqPer;
using functions::CMenuItem;
using Strings = std::vector<std::string>;
using FreqPerMenu = FunctionUnderTest<CKVTFunctionFreqPer>;

const std::array<std::string, 6> kMainPage{"Freq", "Range", "", "", "Rel", ""};
const std::array<std::string, 6> kRangePage{"Auto", "200mV", "2V", "20v", "200V", "750V"};

TEST_F(FreqPerMenu, DefaultsAndMainPage) {
    EXPECT_EQ(m_f->GetName(), "Frequency");
    EXPECT_EQ(m_f->GetDisplayText(), "●.●●●●●");
    EXPECT_EQ(m_f->GetRangeMode(), "Manual");
    EXPECT_EQ(m_f->GetRange(), "200mV");
    EXPECT_EQ(m_f->GetUnitLabel(), "Hz");
    EXPECT_EQ(m_f->GetBaseUnit(), "Hz");
    m_f->ShowMainMenu();
    EXPECT_EQ(Page(), kMainPage);
    EXPECT_EQ(m_f->GetSoftKeySubtitle(0), "Period");
    EXPECT_EQ(m_f->GetSoftKeyItem(0)->m_kind, CMenuItem::kTitleToggle);
    EXPECT_EQ(m_f->GetItem(76)->GetTitleChoice(), "Freq");
    EXPECT_EQ(m_f->GetSoftKeySubtitle(1), "200mV");
    EXPECT_TRUE(m_f->GetItem(80)->m_checked);
    EXPECT_EQ(m_f->GetItem(78)->GetValue(), "Off");
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(Hz)"});
    EXPECT_TRUE(Sent().empty());

    m_f->OnSoftKey(1);
    EXPECT_EQ(Page(), kRangePage);
}

TEST_F(FreqPerMenu, ModeKeySwitchesTitleUnitsAndInstrumentFunction) {
    m_f->ShowMainMenu();
    PanelCalls();
    m_f->OnSoftKey(0);
    EXPECT_EQ(m_f->GetName(), "Period");
    EXPECT_EQ(m_f->GetBaseUnit(), "S");
    EXPECT_EQ(m_f->GetUnitLabel(), "S");
    EXPECT_EQ(m_f->GetItem(76)->GetTitleChoice(), "Period");
    EXPECT_EQ(Timeline(), (Strings{"FUNC \"PER\"", "pause 100"}));
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(S)"});
    EXPECT_EQ(Page(), kMainPage);

    m_f->OnSoftKey(0);
    EXPECT_EQ(m_f->GetName(), "Frequency");
    EXPECT_EQ(m_f->GetBaseUnit(), "Hz");
    EXPECT_EQ(Timeline(), (Strings{"FUNC \"FREQ\"", "pause 100"}));
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(Hz)"});

    // In period mode the menu is redrawn with the period title highlighted,
    // and the views are still given hertz.
    m_f->OnSoftKey(0);
    PanelCalls();
    m_f->ShowMainMenu();
    EXPECT_EQ(m_f->GetItem(76)->GetTitleChoice(), "Period");
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(Hz)"});
}

TEST_F(FreqPerMenu, RangeChoicesSendTheirCommandAndSettle300Milliseconds) {
    struct Case {
        int position;
        const char* wire;
        const char* mode;
        const char* range;
    };
    const Case cases[] = {
        {1, "FREQ:VOLT:RANGE 0.200000", "Manual", "200mV"},
        {2, "FREQ:VOLT:RANGE 2", "Manual", "2V"},
        {3, "FREQ:VOLT:RANGE 20", "Manual", "20v"},
        {4, "FREQ:VOLT:RANGE 200", "Manual", "200V"},
        {5, "FREQ:VOLT:RANGE 750", "Manual", "750V"},
        {0, "FREQ:RANGE:AUTO ON", "Auto", "750V"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.wire);
        m_f->OnMenuItem(77);
        m_f->OnSoftKey(c.position);
        EXPECT_EQ(Timeline(), (Strings{c.wire, "pause 300"}));
        EXPECT_EQ(m_f->GetRangeMode(), c.mode);
        EXPECT_EQ(m_f->GetRange(), c.range);
        EXPECT_EQ(Page(), kMainPage);
        EXPECT_EQ(m_f->GetSoftKeySubtitle(1), kRangePage[static_cast<size_t>(c.position)]);
        for (int id = 79; id <= 84; ++id) {
            EXPECT_EQ(m_f->GetItem(id)->m_checked, id == 79 + c.position) << id;
        }
    }
}

TEST_F(FreqPerMenu, MainMenuMatchesInstrumentRangeTextsNotTheLowerCaseKey) {
    m_f->SetRange("20V");
    m_f->ShowMainMenu();
    EXPECT_EQ(m_f->GetSoftKeySubtitle(1), "20V");
    EXPECT_TRUE(m_f->GetItem(82)->m_checked);

    m_f->GetItem(82)->m_checked = false;
    m_f->SetRange("20v");
    m_f->ShowMainMenu();
    EXPECT_EQ(m_f->GetSoftKeySubtitle(1), "20v");
    for (int id = 79; id <= 84; ++id) {
        EXPECT_FALSE(m_f->GetItem(id)->m_checked) << id;
    }
}

TEST_F(FreqPerMenu, RelativeGoesOutWithoutTheLockAndWithoutPause) {
    m_f->ShowMainMenu();
    EXPECT_TRUE(RunsWhileLockIsHeld([this] { m_f->OnSoftKey(4); }));
    EXPECT_EQ(m_f->GetRel(), "On");
    EXPECT_EQ(Timeline(), Strings{"FREQ:NULL ON"});
    m_f->OnSoftKey(4);
    EXPECT_EQ(m_f->GetRel(), "Off");
    EXPECT_EQ(Timeline(), Strings{"FREQ:NULL OFF"});
}

TEST_F(FreqPerMenu, SyncReadsModeRangeAndRelative) {
    m_device->Answer("FUNCTION?", "\"PER\"\n");
    m_device->Answer("FREQ:VOLT:RANGE:AUTO?", "1\n");
    m_device->Answer("FREQ:VOLT:RANGE?", "+2.00000000E+01\n");
    m_device->Answer("FREQ:NULL?", "1\n");
    m_device->Answer("CALCulate:LIMit:STATe?", "1\n");
    m_device->Answer("CALCulate:LIMit:LOWer?", "-1.00000000E+00\n");
    m_device->Answer("CALCulate:LIMit:UPPer?", "+4.00000000E+00\n");
    m_f->SyncFromInstrument();
    EXPECT_EQ(Sent(), (Strings{"FUNCTION?", "FREQ:VOLT:RANGE:AUTO?", "FREQ:VOLT:RANGE?",
                               "FREQ:NULL?", "CALCulate:LIMit:STATe?", "CALCulate:LIMit:LOWer?",
                               "CALCulate:LIMit:UPPer?"}));
    EXPECT_EQ(m_f->GetName(), "Period");
    EXPECT_EQ(m_f->GetBaseUnit(), "S");
    EXPECT_EQ(m_f->GetRangeMode(), "Auto");
    EXPECT_EQ(m_f->GetRange(), "20V");
    EXPECT_EQ(m_f->GetRel(), "On");
    EXPECT_EQ(functions::g_limitState.load(), 1);
    EXPECT_DOUBLE_EQ(functions::g_limitUpper.load(), 4.0);
    m_f->ShowMainMenu();
    EXPECT_EQ(m_f->GetSoftKeySubtitle(1), "Auto");
    EXPECT_TRUE(m_f->GetItem(79)->m_checked);
    EXPECT_EQ(m_f->GetItem(78)->GetValue(), "On");

    // Only the exact name "FREQ" means frequency.
    m_device->Answer("FUNCTION?", "\"FREQ\"\n");
    m_f->SyncFromInstrument();
    EXPECT_EQ(m_f->GetName(), "Frequency");
    m_device->Answer("FUNCTION?", "\"FREQUENCY\"\n");
    m_f->SyncFromInstrument();
    EXPECT_EQ(m_f->GetName(), "Period");
}

TEST_F(FreqPerMenu, AutoRangeFollowsTheInstrument) {
    m_device->Answer("FREQ:VOLT:RANGE?", "+2.00000000E+02\n");
    EXPECT_TRUE(m_f->UpdateAutoRange());
    EXPECT_EQ(m_f->GetRange(), "200V");
    // The unit label belongs to the reading, not the range.
    EXPECT_EQ(m_f->GetUnitLabel(), "Hz");
    m_device->Answer("FREQ:VOLT:RANGE?", "");
    EXPECT_FALSE(m_f->UpdateAutoRange());
    EXPECT_EQ(m_f->GetRange(), "200V");
}

TEST_F(FreqPerMenu, ReadingsArePrefixedAndOverloadsKeptInTheHistory) {
    m_device->Answer("DATA:LAST?", "+1.23450000E+03 HZ\n");
    ASSERT_TRUE(m_f->ReadOnce());
    EXPECT_EQ(m_f->GetDisplayText(), "+1.23450");
    EXPECT_EQ(m_f->GetUnitLabel(), "KHz");
    m_device->Answer("DATA:LAST?", "+9.90000000E+37 HZ\n");
    ASSERT_TRUE(m_f->ReadOnce());
    EXPECT_EQ(m_f->GetDisplayText(), "Overload");
    EXPECT_EQ(m_f->GetUnitLabel(), "Hz");
    EXPECT_EQ(m_f->HistorySnapshot(), (std::vector<double>{1234.5, 9.9e37}));
    m_device->Answer("DATA:LAST?", "");
    EXPECT_FALSE(m_f->ReadOnce());
    EXPECT_EQ(m_f->GetDisplayText(), "Overload");
}

struct PrefixCase {
    const char* reading;
    bool frequency;
    const char* text;
    const char* unit;
};

class FreqPerPrefix : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(FreqPerPrefix, ScalesIntoTheUnitList) {
    const PrefixCase& c = GetParam();
    CKVTFunctionFreqPer::Prefixed shown = CKVTFunctionFreqPer::WithPrefix(c.reading, c.frequency);
    EXPECT_EQ(shown.text, c.text);
    EXPECT_EQ(shown.unit, c.unit);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, FreqPerPrefix,
    ::testing::Values(PrefixCase{"+1234.500000000000", true, "+1.23450", "KHz"},
                      PrefixCase{"+0.000002000000", false, "+2.00000", "uS"},
                      PrefixCase{"+50.000000000000", true, "+50.0000", "Hz"},
                      PrefixCase{"+1000.000000000000", true, "+1000.00", "Hz"},
                      PrefixCase{"+0.500000000000", true, "+500.000", "mHz"},
                      // The ends of the lists: never below "uHz"/"nS", never above "MHz"/"KS".
                      PrefixCase{"+0.000000000000", true, "+0.00000", "uHz"},
                      PrefixCase{"+0.000000000500", true, "+0.00050", "uHz"},
                      PrefixCase{"+5000000000.000000000000", true, "+5000.00", "MHz"},
                      PrefixCase{"+0.000000000001", false, "+0.00100", "nS"},
                      PrefixCase{"+5000.000000000000", false, "+5.00000", "KS"},
                      PrefixCase{"+5000000.000000000000", false, "+5000.00", "KS"},
                      // Negative relative readings take the prefix of their magnitude.
                      PrefixCase{"-1234.500000000000", true, "-1.23450", "KHz"},
                      PrefixCase{"-0.002500000000", false, "-2.50000", "mS"},
                      // Overloads, and values no unit of the list can show in eight
                      // characters, read "Overload" beside the plain unit.
                      PrefixCase{"Overload", true, "Overload", "Hz"},
                      PrefixCase{"Overload", false, "Overload", "S"},
                      PrefixCase{"+99000000000000000000000000000000000000.000000000000", true,
                                 "Overload", "Hz"},
                      PrefixCase{"+1.0e16", true, "Overload", "Hz"},
                      PrefixCase{"+1.0e13", false, "Overload", "S"},
                      PrefixCase{"+1.0e12", true, "+1000000", "MHz"}));

}  // namespace
}  // namespace kvt::test
