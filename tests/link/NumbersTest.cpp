// Number conversions: C-style reading rules, clamping, and a point as the
// decimal separator whatever the locale (this program is also run under a
// comma-decimal locale).
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "link/Numbers.h"
#include "link/ResourceText.h"

namespace kvt::test {
namespace {

using link::FormatFixed;
using link::ParseInteger;
using link::ParseNumber;
using link::ParseTruncatedInteger;

TEST(Numbers, LocaleOfTheRunIsTheOneAskedFor) {
    // The comma-locale registration sets this so that a missing locale
    // cannot silently turn it into a second C-locale run.
    const char* expected = std::getenv("KVT_EXPECT_DECIMAL_POINT");
    if (expected != nullptr) {
        EXPECT_STREQ(std::localeconv()->decimal_point, expected);
    } else {
        EXPECT_STREQ(std::localeconv()->decimal_point, ".");
    }
}

TEST(Numbers, ParseNumberFollowsTheCConversion) {
    EXPECT_EQ(ParseNumber("1.5E-3"), 1.5e-3);
    EXPECT_EQ(ParseNumber("  \t+2.5 V"), 2.5);
    EXPECT_EQ(ParseNumber("-.5"), -0.5);
    EXPECT_EQ(ParseNumber("7."), 7.0);
    EXPECT_EQ(ParseNumber("1e"), 1.0);
    EXPECT_EQ(ParseNumber("1e+"), 1.0);
    EXPECT_EQ(ParseNumber("3,5"), 3.0);  // a comma is never a decimal separator
    EXPECT_EQ(ParseNumber("12abc"), 12.0);
    EXPECT_EQ(ParseNumber("+9.90000000E+37\n"), 9.9e37);
    for (const char* notANumber :
         {"", " ", "-", "+-1", ".", ".e1", "abc", "e5", "inf", "-infinity", "nan", "0x", "0x10"}) {
        EXPECT_EQ(ParseNumber(notANumber), 0.0) << notANumber;
    }
    EXPECT_EQ(ParseNumber("\n\v\f\r1"), 1.0);
}

TEST(Numbers, ParseNumberOutOfRange) {
    EXPECT_EQ(ParseNumber("1e400"), HUGE_VAL);
    EXPECT_EQ(ParseNumber("-1e400"), -HUGE_VAL);
    EXPECT_EQ(ParseNumber(std::string(400, '9')), HUGE_VAL);
    EXPECT_EQ(ParseNumber("1e-400"), 0.0);
    EXPECT_EQ(ParseNumber("0.000001e-400"), 0.0);
    EXPECT_EQ(ParseNumber("1e99999999999999999999"), HUGE_VAL);
}

TEST(Numbers, IntegerConversions) {
    EXPECT_EQ(ParseInteger("1\n"), 1);
    EXPECT_EQ(ParseInteger(" -42x"), -42);
    EXPECT_EQ(ParseInteger("+1.9"), 1);
    EXPECT_EQ(ParseInteger("x1"), 0);
    EXPECT_EQ(ParseInteger("99999999999999999999"), std::numeric_limits<int>::max());
    EXPECT_EQ(ParseInteger("-99999999999999999999"), std::numeric_limits<int>::min());
    EXPECT_EQ(ParseTruncatedInteger("-1.29E+01"), -12);
    EXPECT_EQ(ParseTruncatedInteger("1e300"), std::numeric_limits<int>::max());
    EXPECT_EQ(ParseTruncatedInteger("-1e300"), std::numeric_limits<int>::min());
}

TEST(Numbers, FormatFixedWritesAPointAndEveryDigit) {
    EXPECT_EQ(FormatFixed(0.2, 3), "0.200");
    EXPECT_EQ(FormatFixed(1.23456, 3), "1.235");
    EXPECT_EQ(FormatFixed(-2.5, 12), "-2.500000000000");
    EXPECT_EQ(FormatFixed(2.5, 0), "2");  // rounds half to even, as printf
    EXPECT_EQ(FormatFixed(1e19, 1), "10000000000000000000.0");
    EXPECT_EQ(FormatFixed(-1.7976931348623157e308, 12).size(), 309u + 1 + 1 + 12);
    EXPECT_EQ(link::FormatInteger(-2147483648LL), "-2147483648");
    EXPECT_EQ(link::FormatTruncated(-2.9), "-2");
}

TEST(ResourceText, BuiltFromTheConnectionChoice) {
    using link::ConnectionProtocol;
    EXPECT_EQ(link::ResourceText(ConnectionProtocol::Usbtmc, ""), "USB?*INSTR");
    EXPECT_EQ(link::ResourceText(ConnectionProtocol::Usbtmc, "192.168.1.5"), "USB?*INSTR");
    EXPECT_EQ(link::ResourceText(ConnectionProtocol::Vxi11, "192.168.1.5"),
              "TCPIP0::192.168.1.5::inst0::INSTR");
    EXPECT_EQ(link::ResourceText(ConnectionProtocol::Vxi11, "0.0.0.0"),
              "TCPIP0::0.0.0.0::inst0::INSTR");
}

}  // namespace
}  // namespace kvt::test
