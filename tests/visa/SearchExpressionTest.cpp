#include "visa/MdnsBrowser.h"
#include "visa/SearchExpression.h"
#include "visa/Vxi11Interface.h"

#include <gtest/gtest.h>

namespace kvt::visa {
namespace {

struct Case {
    const char* expression;
    const char* name;
    bool matches;
};

TEST(SearchExpression, FollowsTheVisaRules) {
    const Case cases[] = {
        {"USB?*INSTR", "USB0::0x1209::0x4B56::KVSIM0001::INSTR", true},
        {"USB?*INSTR", "usb0::0x1209::0x4b56::kvsim0001::instr", true},
        {"USB?*INSTR", "TCPIP0::1.2.3.4::inst0::INSTR", false},
        {"USB?*INSTR", "USBINSTR", true},  // "?*" also matches nothing
        {"USB?*", "USB0::1::2::3::INSTR", true},
        {"?*INSTR", "TCPIP0::1.2.3.4::inst0::INSTR", true},
        {"?*INSTR", "TCPIP0::1.2.3.4::5025::SOCKET", false},
        {"?*", "anything at all", true},
        {"TCPIP[0-9]::?*", "TCPIP3::h::INSTR", true},
        {"TCPIP[0-9]::?*", "TCPIP::h::INSTR", false},
        {"TCPIP[^0]::?*", "TCPIP1::h::INSTR", true},
        {"TCPIP[^0]::?*", "TCPIP0::h::INSTR", false},
        {"USB0+::?*", "USB00::x", true},
        {"(USB|TCPIP)0::?*INSTR", "TCPIP0::h::inst0::INSTR", true},
        {"(USB|TCPIP)0::?*INSTR", "GPIB0::1::INSTR", false},
        {"a.b", "a.b", true},  // '.' is a literal
        {"a.b", "axb", false},
        {"a\\?b", "a?b", true},
        {"a\\?b", "axb", false},
        {"USB", "USB0", false},  // whole-name match
    };
    for (const Case& c : cases) {
        auto expression = SearchExpression::Compile(c.expression);
        ASSERT_TRUE(expression.has_value()) << c.expression;
        EXPECT_EQ(expression->Matches(c.name), c.matches) << c.expression << " ~ " << c.name;
    }
}

TEST(SearchExpression, RejectsMalformedExpressions) {
    for (const char* bad : {"", "*USB", "+", "USB[0-9", "(USB", "USB)", "USB\\", "[]"}) {
        EXPECT_FALSE(SearchExpression::Compile(bad).has_value()) << bad;
    }
}

TEST(SearchExpression, TheNetworkIsSearchedOnlyWhenItsNamesCanMatch) {
    const Vxi11Interface vxi11;
    const std::pair<const char*, bool> cases[] = {
        {"?*INSTR", true},
        {"?*", true},
        {"?*::INSTR", true},  // what pyvisa asks by default
        {"TCPIP?*INSTR", true},
        {"tcpip0::?*", true},
        {"TCPIP0::10.0.0.5::inst0::INSTR", true},
        {"(USB|TCPIP)?*", true},
        {"USB?*|TCPIP?*", true},  // alternatives: not judged
        {"T+CPIP?*", true},
        {"TCPIPX*0::?*", true},  // X may be absent
        {"[A-Z]?*", true},
        {"USB?*INSTR", false},
        {"GPIB?*", false},
        {"TCPIP1::?*", false},  // found instruments are listed on board 0
        {"U(S|T)B?*", false},
        {"?*INSTR+", true},  // ends with R, one or more
        {"\\USB?*", false},
    };
    for (const auto& [text, mayFind] : cases) {
        auto expression = SearchExpression::Compile(text);
        ASSERT_TRUE(expression.has_value()) << text;
        EXPECT_EQ(vxi11.MayFind(*expression), mayFind) << text;
    }
    // Raw sockets are found only by multicast DNS, where Avahi is installed.
    for (const char* text : {"TCPIP?*SOCKET", "?*SOCKET", "TCPIP0::?*::5025::SOCKET"}) {
        auto expression = SearchExpression::Compile(text);
        ASSERT_TRUE(expression.has_value()) << text;
        EXPECT_EQ(vxi11.MayFind(*expression), MdnsBrowser::Available()) << text;
    }
    for (const char* text : {"USB?*SOCKET", "TCPIP1::?*SOCKET", "?*SOCKETS"}) {
        auto expression = SearchExpression::Compile(text);
        ASSERT_TRUE(expression.has_value()) << text;
        EXPECT_FALSE(vxi11.MayFind(*expression)) << text;
    }
}

}  // namespace
}  // namespace kvt::visa
