// Point-table replies of the temperature sensors, row by row.
#include <gtest/gtest.h>

#include <vector>

#include "functions/TemperaturePoints.h"

namespace kvt::test {
namespace {

using functions::ParseTemperaturePoints;
using Rows = std::vector<functions::TemperaturePoint>;

TEST(TemperaturePoints, EntriesBecomeRows) {
    EXPECT_EQ(ParseTemperaturePoints("0|-5.891|-200,1|-5.603|-180"),
              (Rows{{"-5.891", "-200"}, {"-5.603", "-180"}}));
    // The line terminator is not part of the last temperature.
    EXPECT_EQ(ParseTemperaturePoints("0|18.52|-200\r\n"), (Rows{{"18.52", "-200"}}));
}

TEST(TemperaturePoints, MalformedEntriesStillGiveARow) {
    // No "|": all temperature.
    EXPECT_EQ(ParseTemperaturePoints("0|1|2,NONE"), (Rows{{"1", "2"}, {"", "NONE"}}));
    // One "|": the rest is the voltage.
    EXPECT_EQ(ParseTemperaturePoints("7|1.5"), (Rows{{"1.5", ""}}));
    // A third "|" stays in the temperature.
    EXPECT_EQ(ParseTemperaturePoints("7|1.5|20|x"), (Rows{{"1.5", "20|x"}}));
    // The text after the last comma is always a row.
    EXPECT_EQ(ParseTemperaturePoints(""), (Rows{{"", ""}}));
    EXPECT_EQ(ParseTemperaturePoints("0|1|2,"), (Rows{{"1", "2"}, {"", ""}}));
    EXPECT_EQ(ParseTemperaturePoints("\n"), (Rows{{"", ""}}));
}

}  // namespace
}  // namespace kvt::test
