// The SCPI text pieces the meter is built on: splitting messages, header
// forms, argument parsing and the locale-free number format.
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "sim/HeaderPattern.h"
#include "sim/ScpiText.h"

namespace kvt::sim {
namespace {

TEST(ScpiText, SplitsUnitsOutsideQuotes) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(scpi::SplitUnits("FUNC \"A;B\";  *IDN? ;;X"), (V{"FUNC \"A;B\"", "*IDN?", "X"}));
    EXPECT_EQ(scpi::SplitUnits("ECHO? 'unterminated;"), (V{"ECHO? 'unterminated;"}));
    EXPECT_TRUE(scpi::SplitUnits(" ; ").empty());
    scpi::ProgramUnit unit = scpi::ParseUnit("CALC:AVER:ALL?\t  x y ");
    EXPECT_EQ(unit.header, "CALC:AVER:ALL?");
    EXPECT_EQ(unit.argument, "x y");
    EXPECT_TRUE(unit.query);
}

TEST(ScpiText, HeaderPatternsTakeShortAndLongFormsAndOptionalNodes) {
    HeaderPattern pattern("[SENSe:]VOLTage[:DC]:RANGe:AUTO?");
    EXPECT_TRUE(pattern.IsQuery());
    std::vector<std::string_view> nodes;
    for (const char* header :
         {"VOLT:DC:RANGE:AUTO?", "sens:voltage:range:auto?", ":SENSE:VOLT:DC:RANG:AUTO?"}) {
        scpi::SplitHeader(header, nodes);
        EXPECT_TRUE(pattern.Matches(nodes)) << header;
    }
    for (const char* header : {"VOL:DC:RANGE:AUTO?", "VOLTA:RANGE:AUTO?", "VOLT:AC:RANGE:AUTO?",
                               "VOLT:DC:RANGE", "VOLT::RANGE:AUTO", ""}) {
        scpi::SplitHeader(header, nodes);
        EXPECT_FALSE(pattern.Matches(nodes)) << header;
    }
}

TEST(ScpiText, ParsesArgumentsStrictly) {
    double x = 0;
    EXPECT_TRUE(scpi::ParseNumber(" +1.5E-3 ", x));
    EXPECT_DOUBLE_EQ(x, 1.5e-3);
    EXPECT_TRUE(scpi::ParseNumber("-2", x));
    EXPECT_DOUBLE_EQ(x, -2);
    for (const char* bad : {"", "1,5", "1.5V", "abc", "+-1", "nan", "inf", "1e400"}) {
        EXPECT_FALSE(scpi::ParseNumber(bad, x)) << bad;
    }
    bool b = false;
    EXPECT_TRUE(scpi::ParseBoolean("on", b) && b);
    EXPECT_TRUE(scpi::ParseBoolean("0", b) && !b);
    EXPECT_TRUE(scpi::ParseBoolean("2", b) && b);
    EXPECT_FALSE(scpi::ParseBoolean("yes", b));
    std::string s;
    EXPECT_TRUE(scpi::ParseQuoted("'VOLT:AC'", s));
    EXPECT_EQ(s, "VOLT:AC");
    EXPECT_FALSE(scpi::ParseQuoted("\"VOLT'", s));
    EXPECT_FALSE(scpi::ParseQuoted("\"", s));
}

TEST(ScpiText, FormatsNumbersTheSameUnderAnyLocale) {
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(scpi::Scientific(2), "+2.00000000E+00");
    EXPECT_EQ(scpi::Scientific(-0.0012345678912), "-1.23456789E-03");
    EXPECT_EQ(scpi::Scientific(9.9e37), "+9.90000000E+37");
    EXPECT_EQ(scpi::Scientific(0), "+0.00000000E+00");
    double x = 0;
    EXPECT_TRUE(scpi::ParseNumber("0.5", x));
    EXPECT_DOUBLE_EQ(x, 0.5);
    std::setlocale(LC_ALL, "C");
    std::string out;
    scpi::AppendInteger(out, -12);
    scpi::AppendInteger(out, 7);
    EXPECT_EQ(out, "-12+7");
}

}  // namespace
}  // namespace kvt::sim
