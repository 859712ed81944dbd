// The metric prefix helpers of the analysis views: normalising, writing
// and reading values with prefixes, at the table's ends and beyond, and
// with values that are no ordinary numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "functions/PrefixTable.h"

namespace kvt::functions {
namespace {

TEST(PrefixTable, TableAndLetters) {
    EXPECT_STREQ(kPrefixTable, "pnum kMGTP");
    EXPECT_EQ(PrefixLetter(0), "p");
    EXPECT_EQ(PrefixLetter(2), "u");
    EXPECT_EQ(PrefixLetter(4), " ");
    EXPECT_EQ(PrefixLetter(9), "P");
    // Outside the table: the blank, never a byte beyond it.
    EXPECT_EQ(PrefixLetter(-1), " ");
    EXPECT_EQ(PrefixLetter(10), " ");
    EXPECT_EQ(ApplyPrefix(5, 3), 0.005);
    EXPECT_EQ(ApplyPrefix(2, 5), 2000);
    EXPECT_EQ(ApplyPrefix(7, -1), 7);
    EXPECT_EQ(ApplyPrefix(7, 42), 7);
}

TEST(PrefixTable, NormaliseWithinTheTable) {
    struct Case {
        double value;
        int index;
        double mantissa;
    } cases[] = {{0, 4, 0},        {1, 4, 1},        {999, 4, 999},    {1000, 5, 1},
                 {2500, 5, 2.5},   {-2500, 5, -2.5}, {0.0025, 3, 2.5}, {-0.001, 3, -1},
                 {0.5e-6, 1, 500}, {3e-12, 0, 3},    {4.2e15, 9, 4.2}, {-100, 4, -100}};
    for (const Case& c : cases) {
        double value = c.value;
        EXPECT_EQ(NormalizePrefix(value), c.index) << c.value;
        EXPECT_NEAR(value, c.mantissa, 1e-9) << c.value;
    }
}

TEST(PrefixTable, NormaliseBeyondTheTableAndNonNumbers) {
    double large = 1e20;
    EXPECT_EQ(NormalizePrefix(large), 9);
    EXPECT_NEAR(large, 1e5, 1e-6);
    double tiny = 1e-16;
    EXPECT_EQ(NormalizePrefix(tiny), 0);
    EXPECT_NEAR(tiny, 1e-4, 1e-12);
    double overload = -9.9e37;
    EXPECT_EQ(NormalizePrefix(overload), 9);
    EXPECT_LT(overload, 0);

    double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(NormalizePrefix(nan), 4);
    EXPECT_TRUE(std::isnan(nan));
    double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(NormalizePrefix(inf), 9);
    double negInf = -inf;
    EXPECT_EQ(NormalizePrefix(negInf), 9);
    double denormal = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(NormalizePrefix(denormal), 0);
}

TEST(PrefixTable, Format) {
    EXPECT_EQ(FormatWithPrefix(0), "0");
    EXPECT_EQ(FormatWithPrefix(2.7), "3");
    EXPECT_EQ(FormatWithPrefix(-999.4), "-999");
    EXPECT_EQ(FormatWithPrefix(0.0025), "2.500m");
    EXPECT_EQ(FormatWithPrefix(-0.0025), "-2.500m");
    EXPECT_EQ(FormatWithPrefix(12345), "12.345k");
    EXPECT_EQ(FormatWithPrefix(5e-7), "500.000n");
    EXPECT_EQ(FormatWithPrefix(1e20), "100000.000P");
    EXPECT_EQ(FormatWithPrefix(1e-16), "0.000p");
    EXPECT_EQ(FormatWithPrefix(2e-13), "0.200p");
    // Non-numbers are written, not crashed on.
    EXPECT_FALSE(FormatWithPrefix(std::numeric_limits<double>::quiet_NaN()).empty());
    EXPECT_FALSE(FormatWithPrefix(std::numeric_limits<double>::infinity()).empty());
}

TEST(PrefixTable, ParseInTableOrder) {
    EXPECT_DOUBLE_EQ(ParseWithPrefix("5m"), 0.005);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("0.5m"), 0.0005);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("200mV"), 0.2);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("5"), 5);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("5 "), 5);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("2k"), 2000);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("-1.5M"), -1.5e6);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("3P"), 3e15);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("7u"), 7e-6);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("10"), 10);
    // The table is searched in order: "m" before "k" wherever they stand,
    // and the blank before "k".
    EXPECT_DOUBLE_EQ(ParseWithPrefix("2km"), 0.002);
    EXPECT_DOUBLE_EQ(ParseWithPrefix("5 k"), 5);
    // No number: 0.
    EXPECT_EQ(ParseWithPrefix(""), 0);
    EXPECT_EQ(ParseWithPrefix("abc"), 0);
    EXPECT_EQ(ParseWithPrefix("Auto"), 0);
}

}  // namespace
}  // namespace kvt::functions
