// The DC voltage main display and unit label across ranges, signs,
// overload and dB/dBm scaling.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "functions/CKVTFunctionDCV.h"
#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

using functions::CKVTFunctionDCV;

struct DisplayCase {
    const char* reading;
    const char* range;
    int scaleState;
    const char* shown;
};

void PrintTo(const DisplayCase& c, std::ostream* out) {
    *out << c.reading << " on " << c.range << (c.scaleState != 0 ? " scaled" : "");
}

class DcvDisplay : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DcvDisplay, ShowsTheReadingInTheRangesDigits) {
    const DisplayCase& c = GetParam();
    functions::CKVTFunctionDCV dcv(nullptr);
    dcv.SetRange(c.range);
    dcv.SetReadingText(c.reading);
    if (c.scaleState != 0) {
        dcv.GetScaleSettings()->state = c.scaleState;
    }
    EXPECT_EQ(dcv.GetDisplayText(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(Readings, DcvDisplay,
                         ::testing::Values(DisplayCase{"+1.234567890123", "20V", 0, "+01.2345"},
                                           DisplayCase{"+1.234567890123", "2V", 0, "+1.23456"},
                                           DisplayCase{"-0.012345678901", "200mV", 0, "-012.345"},
                                           DisplayCase{"+12.500000000000", "1000V", 0, "+0012.50"},
                                           DisplayCase{"+123.400000000000", "20V", 0, "+123.400"},
                                           DisplayCase{"-1.500000000000", "200V", 0, "-001.500"},
                                           DisplayCase{"+0.100000000000", "200mV", 0, "+100.000"},
                                           DisplayCase{"+0.000000000000", "200mV", 0, "+000.000"},
                                           DisplayCase{"-0.000001000000", "200mV", 0, "-000.001"},
                                           DisplayCase{"-999.999999999999", "1000V", 0, "-0999.99"},
                                           DisplayCase{"+1234.500000000000", "1000V", 0,
                                                       "+1234.50"},
                                           DisplayCase{"1.5", "2V", 0, "+1.5"},
                                           DisplayCase{"Overload", "20V", 0, "Overload"},
                                           DisplayCase{"Overload", "200mV", 0, "Overload"},
                                           DisplayCase{"●.●●●●●", "200mV", 0, "●.●●●●●"},
                                           DisplayCase{"●.●●●●●", "20V", 1, "●.●●●●●"},
                                           DisplayCase{"+12.345678901234", "20V", 1, "+12.345"},
                                           DisplayCase{"-3.010299956640", "200mV", 1, "-3.0102"},
                                           DisplayCase{"Overload", "2V", 1, "Overload"}),
                         [](const ::testing::TestParamInfo<DisplayCase>& param) {
                             return "Case" + std::to_string(param.index);
                         });

TEST(DcvUnitLabel, FollowsTheRangeUnlessScaled) {
    CKVTFunctionDCV dcv(nullptr);
    dcv.Init();
    EXPECT_EQ(dcv.GetUnitLabel(), "mVDC");
    dcv.SetRange("2V");
    EXPECT_EQ(dcv.GetUnitLabel(), "VDC");
    dcv.SetRange("200mV");
    EXPECT_EQ(dcv.GetUnitLabel(), "mVDC");
    // A text with no unit keeps the last label.
    dcv.SetRange("");
    EXPECT_EQ(dcv.GetUnitLabel(), "mVDC");
    dcv.GetScaleSettings()->function = "dBm";
    EXPECT_EQ(dcv.GetUnitLabel(), "mVDC");
    dcv.GetScaleSettings()->state = 1;
    EXPECT_EQ(dcv.GetUnitLabel(), "dBm");
    EXPECT_EQ(dcv.GetBaseUnit(), "V");
}

using DcvAutoRange = FunctionsFixture;

TEST_F(DcvAutoRange, SwitchToMillivoltsChangesLabelAndDigits) {
    m_dcv->OnMenuItem(9);  // 2V
    m_dcv->OnMenuItem(7);  // Auto
    m_dcv->SetReadingText("+0.012345678901");
    EXPECT_EQ(m_dcv->GetUnitLabel(), "VDC");
    EXPECT_EQ(m_dcv->GetDisplayText(), "+0.01234");
    m_device->Answer("VOLT:DC:RANGE?", "+2.00000000E-01\n");
    EXPECT_TRUE(m_dcv->UpdateAutoRange());
    EXPECT_EQ(m_dcv->GetRange(), "200mV");
    EXPECT_EQ(m_dcv->GetUnitLabel(), "mVDC");
    EXPECT_EQ(m_dcv->GetDisplayText(), "+012.345");

    // No answer: false, and the range stays.
    m_device->Answer("VOLT:DC:RANGE?", "");
    EXPECT_FALSE(m_dcv->UpdateAutoRange());
    EXPECT_EQ(m_dcv->GetRange(), "200mV");
}

}  // namespace
}  // namespace kvt::test
