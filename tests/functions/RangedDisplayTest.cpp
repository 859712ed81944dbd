// The main display and unit labels of DC current, AC voltage, AC current,
// both resistances and capacitance: scaling by range, integer digits,
// signs, overload, and the label each range text gives.
#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "functions/CKVTFunctionACI.h"
#include "functions/CKVTFunctionACV.h"
#include "functions/CKVTFunctionCap.h"
#include "functions/CKVTFunctionDCI.h"
#include "functions/CKVTFunctionFRES.h"
#include "functions/CKVTFunctionRES.h"
#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

using functions::CKVTRangedFunction;

std::unique_ptr<CKVTRangedFunction> Make(const std::string& label) {
    if (label == "DCI") {
        return std::make_unique<functions::CKVTFunctionDCI>(nullptr);
    }
    if (label == "ACV") {
        return std::make_unique<functions::CKVTFunctionACV>(nullptr);
    }
    if (label == "ACI") {
        return std::make_unique<functions::CKVTFunctionACI>(nullptr);
    }
    if (label == "RES") {
        return std::make_unique<functions::CKVTFunctionRES>(nullptr);
    }
    if (label == "FRES") {
        return std::make_unique<functions::CKVTFunctionFRES>(nullptr);
    }
    return std::make_unique<functions::CKVTFunctionCap>(nullptr);
}

struct DisplayCase {
    const char* function;
    const char* range;
    const char* reading;
    const char* shown;
};

void PrintTo(const DisplayCase& c, std::ostream* out) {
    *out << c.function << " " << c.reading << " on " << c.range;
}

class RangedDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(RangedDisplay, ShowsTheReadingInTheRangesUnitAndDigits) {
    const DisplayCase& c = GetParam();
    auto function = Make(c.function);
    function->SetRange(c.range);
    function->SetReadingText(c.reading);
    EXPECT_EQ(function->GetDisplayText(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, RangedDisplay,
    ::testing::Values(
        // DC current: micro- and milliamps scaled, two unit letters off the digits.
        DisplayCase{"DCI", "2mA", "+0.001234567890", "+1.23456"},
        DisplayCase{"DCI", "200uA", "+0.000123456789", "+123.456"},
        DisplayCase{"DCI", "200uA", "-0.000001000000", "-001.000"},
        DisplayCase{"DCI", "20mA", "+0.015300000000", "+15.3000"},
        DisplayCase{"DCI", "200mA", "-0.012345678901", "-012.345"},
        DisplayCase{"DCI", "2A", "+1.234567890123", "+1.23456"},
        DisplayCase{"DCI", "10A", "+1.234567890123", "+01.2345"},
        // A reading beyond the range (automatic ranging under way): no padding.
        DisplayCase{"DCI", "200uA", "+0.001500000000", "+1500.00"},
        DisplayCase{"DCI", "10A", "Overload", "Overload"},
        DisplayCase{"DCI", "200uA", "●.●●●●●", "●.●●●●●"},
        // AC voltage.
        DisplayCase{"ACV", "200mV", "+0.070710678118", "+070.710"},
        DisplayCase{"ACV", "2V", "+0.707100000000", "+0.70710"},
        DisplayCase{"ACV", "20V", "+1.234567890123", "+01.2345"},
        DisplayCase{"ACV", "750V", "+230.000000000000", "+230.000"},
        DisplayCase{"ACV", "750V", "12.5", "+012.5"},
        DisplayCase{"ACV", "200mV", "Overload", "Overload"},
        // AC current.
        DisplayCase{"ACI", "20mA", "+0.010020000000", "+10.0200"},
        DisplayCase{"ACI", "200mA", "+0.100200000000", "+100.200"},
        DisplayCase{"ACI", "2A", "-0.500000000000", "-0.50000"},
        DisplayCase{"ACI", "10A", "+2.000000000000", "+02.0000"},
        DisplayCase{"ACI", "20mA", "Overload", "Overload"},
        // Resistance: one integer digit more than the range shows.
        DisplayCase{"RES", "200Ω", "+123.456000000000", "+0123.45"},
        DisplayCase{"RES", "200Ω", "-0.500000000000", "-0000.50"},
        DisplayCase{"RES", "2KΩ", "+1234.500000000000", "+01.2345"},
        DisplayCase{"RES", "20KΩ", "+1000.370000000000", "+001.000"},
        DisplayCase{"RES", "200KΩ", "+150000.000000000000", "+0150.00"},
        DisplayCase{"RES", "2MΩ", "+1500000.000000000000", "+01.5000"},
        DisplayCase{"RES", "10MΩ", "+5000000.000000000000", "+005.000"},
        DisplayCase{"RES", "100MΩ", "+99000000.000000000000", "+0099.00"},
        DisplayCase{"RES", "200Ω", "Overload", "Overload"},
        DisplayCase{"RES", "2KΩ", "●.●●●●●", "●.●●●●●"},
        DisplayCase{"FRES", "200Ω", "+109.735000000000", "+0109.73"},
        DisplayCase{"FRES", "20KΩ", "+12345.600000000000", "+012.345"},
        DisplayCase{"FRES", "100MΩ", "Overload", "Overload"},
        // Capacitance.
        DisplayCase{"Cap", "200nF", "+0.000000123000", "+123.000"},
        DisplayCase{"Cap", "2nF", "+0.000000001500", "+1.50000"},
        DisplayCase{"Cap", "20nF", "-0.000000010000", "-10.0000"},
        DisplayCase{"Cap", "2uF", "+0.000001000000", "+1.00000"},
        DisplayCase{"Cap", "20uF", "+0.000015000000", "+15.0000"},
        DisplayCase{"Cap", "200uF", "+0.000100000000", "+100.000"},
        DisplayCase{"Cap", "10000uF", "+0.001000000000", "+01000.0"},
        DisplayCase{"Cap", "200nF", "Overload", "Overload"}),
    [](const ::testing::TestParamInfo<DisplayCase>& param) {
        return std::string(param.param.function) + std::to_string(param.index);
    });

struct LabelStep {
    const char* range;
    const char* label;  // after this range
};

struct LabelCase {
    const char* function;
    std::vector<LabelStep> steps;
};

TEST(RangedUnitLabel, EachRangeTextGivesItsLabel) {
    const LabelCase cases[] = {
        {"DCI",
         {{"200uA", "uADC"}, {"2mA", "mADC"}, {"10A", "ADC"}, {"2mA", "mADC"}, {"", "mADC"}}},
        {"ACV", {{"200mV", "mVAC"}, {"2V", "VAC"}, {"200mV", "mVAC"}, {"V1", "mVAC"}, {"", "VAC"}}},
        {"ACI", {{"20mA", "mAAC"}, {"2A", "AAC"}, {"200mA", "mAAC"}, {"", "mAAC"}}},
        {"RES", {{"2KΩ", "KΩ"}, {"10MΩ", "MΩ"}, {"200Ω", "Ω"}, {"200KΩ", "KΩ"}, {"", "Ω"}}},
        {"FRES", {{"100MΩ", "MΩ"}, {"", "Ω"}}},
        {"Cap", {{"2nF", "nF"}, {"2uF", "uF"}, {"200nF", "nF"}, {"", "uF"}}},
    };
    for (const LabelCase& c : cases) {
        auto function = Make(c.function);
        function->Init();
        for (const LabelStep& step : c.steps) {
            function->SetRange(step.range);
            EXPECT_EQ(function->GetUnitLabel(), step.label) << c.function << " " << step.range;
            EXPECT_EQ(function->GetRange(), step.range);
        }
    }
}

TEST(RangedUnitLabel, OnlyAcVoltageScalesToDecibels) {
    for (const char* label : {"DCI", "ACI", "RES", "FRES", "Cap"}) {
        auto function = Make(label);
        function->Init();
        function->SetScaleState(1);
        EXPECT_EQ(function->GetScaleSettings()->state, 0) << label;
        EXPECT_FALSE(function->GetScaleSettings()->valid) << label;
    }
    functions::CKVTFunctionACV acv(nullptr);
    acv.Init();
    EXPECT_TRUE(acv.GetScaleSettings()->valid);
    acv.SetReadingText("+0.500000000000");
    acv.GetScaleSettings()->function = "dBm";
    EXPECT_EQ(acv.GetUnitLabel(), "mVAC");
    acv.GetScaleSettings()->state = 1;
    EXPECT_EQ(acv.GetUnitLabel(), "dBm");
    EXPECT_EQ(acv.GetDisplayText(), "+0.5000");
}

using RangedAutoRange = FunctionsFixture;

TEST_F(RangedAutoRange, RangeReportedByTheInstrumentChangesLabelAndDigits) {
    functions::CKVTFunctionDCI dci(&m_panel);
    dci.Init();
    dci.OnMenuItem(22);  // 2mA
    dci.OnMenuItem(20);  // Auto
    dci.SetReadingText("+0.000123456789");
    EXPECT_EQ(dci.GetDisplayText(), "+0.12345");
    m_device->Answer("CURR:DC:RANGE?", "+2.00000000E-04\n");
    EXPECT_TRUE(dci.UpdateAutoRange());
    EXPECT_EQ(dci.GetRange(), "200uA");
    EXPECT_EQ(dci.GetUnitLabel(), "uADC");
    EXPECT_EQ(dci.GetDisplayText(), "+123.456");
    // No answer: false, and the range stays.
    m_device->Answer("CURR:DC:RANGE?", "");
    EXPECT_FALSE(dci.UpdateAutoRange());
    EXPECT_EQ(dci.GetRange(), "200uA");

    functions::CKVTFunctionFRES fres(&m_panel);
    fres.Init();
    fres.SetReadingText("+1234.500000000000");
    m_device->Answer("FRES:RANGE?", "+2.00000000E+03\n");
    EXPECT_TRUE(fres.UpdateAutoRange());
    EXPECT_EQ(fres.GetRange(), "2KΩ");
    EXPECT_EQ(fres.GetUnitLabel(), "KΩ");
    EXPECT_EQ(fres.GetDisplayText(), "+01.2345");

    functions::CKVTFunctionCap cap(&m_panel);
    cap.Init();
    m_device->Answer("CAP:RANGE?", "+1.00000000E-02\n");
    EXPECT_TRUE(cap.UpdateAutoRange());
    EXPECT_EQ(cap.GetRange(), "10000uF");
    EXPECT_EQ(cap.GetUnitLabel(), "uF");
}

}  // namespace
}  // namespace kvt::test
