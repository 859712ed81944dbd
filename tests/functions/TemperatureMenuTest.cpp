// Temperature: pages, display modes and units with what each sends and
// tells the views, the sensor choice, the labels and display texts.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "functions/CKVTFunctionTemperature.h"
#include "functions/ProgramRecords.h"
#include "tests/functions/FunctionUnderTest.h"

namespace kvt::test {
namespace {

using functions::CKVTFunctionTemperature;
using Strings = std::vector<std::string>;
using TemperatureMenu = FunctionUnderTest<CKVTFunctionTemperature>;

const std::array<std::string, 6> kMainPage{"Load", "Display", "", "Units", "Rel", ""};

TEST_F(TemperatureMenu, DefaultsAndMainPage) {
    EXPECT_EQ(m_f->GetName(), "Temperature");
    EXPECT_EQ(m_f->GetDisplayText(), "●.●●●●●");
    EXPECT_EQ(m_f->GetMeasuredText(), "●.●●●●●");
    EXPECT_EQ(m_f->GetUnitLabel(), "℃");
    EXPECT_EQ(m_f->GetBaseUnit(), "℃");
    EXPECT_EQ(m_f->GetSensor(), "BITS90");
    EXPECT_EQ(m_f->GetDisplayMode(), "All");
    EXPECT_EQ(m_f->GetRange(), "100");
    EXPECT_EQ(m_f->GetRangeMode(), "");
    EXPECT_TRUE(m_f->UpdateAutoRange());
    // The keys as built, before the first menu.
    EXPECT_EQ(m_f->GetItem(88)->m_subtitle, "KITS90");
    EXPECT_EQ(m_f->GetItem(89)->m_subtitle, "Temp Val");
    EXPECT_EQ(m_f->GetItem(90)->m_subtitle, "℃");

    m_f->ShowMainMenu();
    EXPECT_EQ(Page(), kMainPage);
    EXPECT_EQ(m_f->GetSoftKeySubtitle(0), "BITS90");
    EXPECT_EQ(m_f->GetSoftKeySubtitle(1), "All");
    EXPECT_EQ(m_f->GetSoftKeySubtitle(3), "℃");
    EXPECT_TRUE(m_f->GetItem(129)->m_checked);
    EXPECT_TRUE(m_f->GetItem(130)->m_checked);
    EXPECT_EQ(m_f->GetItem(91)->GetValue(), "Off");
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(℃)"});

    m_f->OnSoftKey(1);
    EXPECT_EQ(Page(), (std::array<std::string, 6>{"Temp Val", "Meas Val", "All", "", "", ""}));
    m_f->ShowMainMenu();
    m_f->OnSoftKey(3);
    EXPECT_EQ(Page(), (std::array<std::string, 6>{"℃", "℉", "K", "", "", ""}));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(TemperatureMenu, LoadKeyAsksForTheSensorDialog) {
    m_f->ShowMainMenu();
    PanelCalls();
    m_f->OnSoftKey(0);
    EXPECT_EQ(PanelCalls(), Strings{"ShowSensorDialog()"});
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Page(), kMainPage);
}

TEST_F(TemperatureMenu, DisplayModesSendNothingAndUnitsSendTheirCommand) {
    m_f->ShowMainMenu();
    PanelCalls();
    m_f->OnMenuItem(89);
    m_f->OnSoftKey(1);  // Meas Val
    EXPECT_EQ(m_f->GetDisplayMode(), "Meas Val");
    EXPECT_TRUE(m_f->GetItem(128)->m_checked);
    EXPECT_FALSE(m_f->GetItem(129)->m_checked);
    EXPECT_EQ(Page(), kMainPage);
    EXPECT_EQ(Timeline(), Strings{"pause 300"});  // a pause and nothing sent
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(V)"});

    // Still showing the measured value: the views keep "V".
    m_f->OnMenuItem(90);
    m_f->OnSoftKey(2);  // K
    EXPECT_EQ(Timeline(), (Strings{"UNIT:TEMP K", "pause 100"}));
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(V)"});
    EXPECT_EQ(m_f->GetUnit(), "K");
    EXPECT_EQ(m_f->GetUnitLabel(), "K");
    EXPECT_TRUE(m_f->GetItem(132)->m_checked);
    EXPECT_FALSE(m_f->GetItem(130)->m_checked);

    m_f->OnMenuItem(127);
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(K)"});
    m_f->OnMenuItem(131);
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(℉)"});
    m_f->OnMenuItem(130);
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(℃)"});
    EXPECT_EQ(Timeline(),
              (Strings{"pause 300", "UNIT:TEMP F", "pause 100", "UNIT:TEMP C", "pause 100"}));

    // The display-mode pause is taken under the lock.
    EXPECT_FALSE(
        RunsWhileLockIsHeld([this] { m_f->OnMenuItem(129); }, std::chrono::milliseconds(200)));
    EXPECT_EQ(Timeline(), Strings{"pause 300"});
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(℃)"});

    for (int id : {87, 92, 126, 133}) {
        m_f->OnMenuItem(id);
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(PanelCalls().empty());
}

TEST_F(TemperatureMenu, RelativeSendsUnderTheLockAndSettles) {
    m_f->ShowMainMenu();
    m_f->OnSoftKey(4);
    EXPECT_EQ(m_f->GetNull(), "On");
    EXPECT_EQ(Timeline(), (Strings{"TEMP:NULL ON", "pause 100"}));
    m_f->OnSoftKey(4);
    EXPECT_EQ(Timeline(), (Strings{"TEMP:NULL OFF", "pause 100"}));
}

TEST_F(TemperatureMenu, SyncThenMenuChecksTheUnitButLabelsTheViewsInCelsius) {
    m_device->Answer("TEMP:TRAN?", "THER,JITS90\n");
    m_device->Answer("UNIT:TEMP?", "K\n");
    m_device->Answer("TEMP:NULL?", "1\n");
    m_f->OnMenuItem(128);
    m_f->SyncFromInstrument();
    EXPECT_EQ(Sent(), (Strings{"TEMP:TRAN?", "UNIT:TEMP?", "TEMP:NULL?", "CALCulate:LIMit:STATe?",
                               "CALCulate:LIMit:LOWer?", "CALCulate:LIMit:UPPer?"}));
    EXPECT_EQ(m_f->GetSensor(), "JITS90");
    EXPECT_EQ(m_f->GetDisplayMode(), "Temp Val");
    EXPECT_EQ(m_f->GetUnitLabel(), "K");
    PanelCalls();
    m_f->ShowMainMenu();
    EXPECT_EQ(m_f->GetSoftKeySubtitle(0), "JITS90");
    EXPECT_EQ(m_f->GetSoftKeySubtitle(1), "Temp Val");
    EXPECT_TRUE(m_f->GetItem(127)->m_checked);
    EXPECT_FALSE(m_f->GetItem(128)->m_checked);
    EXPECT_EQ(m_f->GetSoftKeySubtitle(3), "K");
    EXPECT_TRUE(m_f->GetItem(132)->m_checked);
    EXPECT_EQ(m_f->GetItem(91)->GetValue(), "On");
    EXPECT_EQ(PanelCalls(), Strings{"SetViewsUnit(℃)"});
}

TEST_F(TemperatureMenu, ChosenSensorIsSentUnderTheLockAndBecomesCurrent) {
    struct Case {
        int source;
        int kind;
        const char* name;
        const char* wire;
    };
    const Case cases[] = {
        {0, 0, "JITS90", "TEMP:MDEF:THER:TRAN JITS90"},
        {1, 0, "CUSTOM_TC1", "TEMP:UDEF:THER:TRAN CUSTOM_TC1"},
        {0, 1, "PT100", "TEMP:MDEF:RTD:TRAN PT100"},
        {1, 1, "MY_RTD", "TEMP:UDEF:RTD:TRAN MY_RTD"},
    };
    for (const Case& c : cases) {
        m_f->ChooseSensor(c.source, c.kind, c.name);
        EXPECT_EQ(Timeline(), (Strings{c.wire, "pause 100"}));
        EXPECT_EQ(m_f->GetSensor(), c.name);
        EXPECT_EQ(m_f->GetItem(88)->m_subtitle, c.name);
    }
    // A later menu shows the chosen sensor, not the one read before.
    m_f->ShowMainMenu();
    EXPECT_EQ(m_f->GetSoftKeySubtitle(0), "MY_RTD");

    m_f->ChooseSensor(2, 0, "X");
    m_f->ChooseSensor(0, -1, "X");
    m_f->ChooseSensor(0, 0, "");
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(m_f->GetSensor(), "MY_RTD");

    EXPECT_FALSE(RunsWhileLockIsHeld([this] { m_f->ChooseSensor(0, 0, "KITS90"); },
                                     std::chrono::milliseconds(200)));
    EXPECT_EQ(Sent(), Strings{"TEMP:MDEF:THER:TRAN KITS90"});
}

struct LabelCase {
    const char* reading;
    const char* unit;
    const char* label;
    const char* display;
};

class TemperatureDisplay : public ::testing::TestWithParam<LabelCase> {};

TEST_P(TemperatureDisplay, LabelAndThreeIntegerDigits) {
    const LabelCase& c = GetParam();
    std::string label = CKVTFunctionTemperature::LabelFor(c.reading, c.unit);
    EXPECT_EQ(label, c.label);
    EXPECT_EQ(CKVTFunctionTemperature::DisplayText(c.reading, label), c.display);
}

INSTANTIATE_TEST_SUITE_P(Readings, TemperatureDisplay,
                         ::testing::Values(LabelCase{"+5.123456789012", "℃", "℃", "+005.123"},
                                           LabelCase{"+1234.500000000000", "℃", "k℃", "+001.234"},
                                           LabelCase{"+12345.600000000000", "℃", "k℃", "+012.345"},
                                           LabelCase{"-0.000500000000", "℃", "m℃", "-000.500"},
                                           LabelCase{"+0.000000000000", "K", "mK", "+000.000"},
                                           LabelCase{"+999.999000000000", "℉", "℉", "+999.999"},
                                           LabelCase{"-23.500000000000", "K", "K", "-023.500"},
                                           LabelCase{"+0.001000000000", "℃", "℃", "+000.001"},
                                           LabelCase{"+1000.000000000000", "K", "kK", "+001.000"},
                                           LabelCase{"Overload", "℃", "℃", "Overload"},
                                           LabelCase{"●.●●●●●", "℉", "℉", "●.●●●●●"}));

TEST_F(TemperatureMenu, ReadingTextSetsTheLabelFromTheCurrentUnit) {
    m_f->OnMenuItem(131);
    m_f->SetReadingText("+12345.600000000000");
    EXPECT_EQ(m_f->GetUnitLabel(), "k℉");
    EXPECT_EQ(m_f->GetBaseUnit(), "k℉");
    EXPECT_EQ(m_f->GetDisplayText(), "+012.345");
    m_f->SetReadingText("-0.000500000000");
    EXPECT_EQ(m_f->GetUnitLabel(), "m℉");
    EXPECT_EQ(m_f->GetDisplayText(), "-000.500");
}

TEST(TemperatureMeasuredText, SignedAndCutToEight) {
    EXPECT_EQ(CKVTFunctionTemperature::MeasuredText("1.5"), "+1.5");
    EXPECT_EQ(CKVTFunctionTemperature::MeasuredText("+0.004123456"), "+0.00412");
    EXPECT_EQ(CKVTFunctionTemperature::MeasuredText("-0.123456789"), "-0.12345");
    EXPECT_EQ(CKVTFunctionTemperature::MeasuredText("Overload"), "Overload");
    EXPECT_EQ(CKVTFunctionTemperature::MeasuredText("●.●●●●●"), "●.●●●●●");
}

}  // namespace
}  // namespace kvt::test
