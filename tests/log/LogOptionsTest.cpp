// korvata-log's command line: the options, their values and the sentences
// that say what is wrong; the function names and the ranges they accept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/LogFunctions.h"
#include "log/LogOptions.h"

namespace kvt::test {
namespace {

using logger::LogOptions;
using std::chrono::milliseconds;

struct Parsed {
    bool ok;
    LogOptions options;
    std::string error;
};

Parsed Parse(std::vector<std::string> arguments) {
    Parsed parsed;
    parsed.ok = parsed.options.Parse(arguments, parsed.error);
    return parsed;
}

TEST(LogOptionsTest, LongShortGroupedAndJoinedFormsSetTheSameOptions) {
    for (const std::vector<std::string>& arguments : {
             std::vector<std::string>{"--function", "ACV", "--range=20v", "--output", "a.csv",
                                      "--count=7", "--duration", "90s", "--no-reconnect",
                                      "--verbose", "TCPIP0::h::inst0::INSTR"},
             std::vector<std::string>{"-fACV", "-r", "20v", "-oa.csv", "-n7", "-d", "90",
                                      "--no-reconnect", "-v", "TCPIP0::h::inst0::INSTR"},
             std::vector<std::string>{"-vfACV", "-r20v", "-o", "a.csv", "-n", "7", "-d90s",
                                      "--no-reconnect", "--", "TCPIP0::h::inst0::INSTR"},
         }) {
        Parsed parsed = Parse(arguments);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        const LogOptions& o = parsed.options;
        EXPECT_EQ(o.function, "ACV");
        EXPECT_EQ(o.range, "20v");
        EXPECT_EQ(o.output, "a.csv");
        EXPECT_FALSE(o.ToStandardOutput());
        EXPECT_EQ(o.count, 7u);
        EXPECT_EQ(o.duration, milliseconds(90000));
        EXPECT_FALSE(o.reconnect);
        EXPECT_TRUE(o.verbose);
        EXPECT_FALSE(o.quiet);
        EXPECT_EQ(o.resource, "TCPIP0::h::inst0::INSTR");
    }
}

TEST(LogOptionsTest, DefaultsFollowTheMeterToStandardOutputWithReconnection) {
    Parsed parsed = Parse({"USB?*INSTR"});
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.options.function, "");
    EXPECT_EQ(parsed.options.range, "");
    EXPECT_TRUE(parsed.options.ToStandardOutput());
    EXPECT_TRUE(parsed.options.reconnect);
    EXPECT_FALSE(parsed.options.count);
    EXPECT_FALSE(parsed.options.duration);
    EXPECT_TRUE(Parse({"-o", "-", "R"}).options.ToStandardOutput());
    // A resource that begins with a dash comes after "--".
    EXPECT_EQ(Parse({"--", "-odd"}).options.resource, "-odd");
}

TEST(LogOptionsTest, HelpVersionAndListNeedNoResource) {
    EXPECT_TRUE(Parse({"--help"}).options.help);
    EXPECT_TRUE(Parse({"-V"}).options.version);
    Parsed list = Parse({"--list"});
    EXPECT_TRUE(list.ok);
    EXPECT_TRUE(list.options.list);
    EXPECT_FALSE(Parse({"--list", "R"}).ok);
}

TEST(LogOptionsTest, EachMistakeIsOneSentenceNamingIt) {
    struct Case {
        std::vector<std::string> arguments;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{}, "No resource given"},
        {{"A", "B"}, "One resource only; \"B\" is one too many."},
        {{"--bogus", "R"}, "Unknown option \"--bogus\"."},
        {{"-x", "R"}, "Unknown option \"-x\"."},
        {{"--quiet=yes", "R"}, "--quiet takes no value."},
        {{"R", "--count"}, "--count needs a value."},
        {{"R", "-n"}, "-n needs a value."},
        {{"-f", "volts", "R"},
         "Unknown function \"volts\" for --function: use one of dcv, dci, "
         "acv, aci, res, fres, cap, freq, per, cont, diode, temp."},
        {{"-n", "0", "R"}, "--count needs a whole number of readings above zero, not \"0\"."},
        {{"-n", "-3", "R"}, "--count needs a whole number of readings above zero, not \"-3\"."},
        {{"-n", "5x", "R"}, "--count needs a whole number of readings above zero, not \"5x\"."},
        {{"-d", "0", "R"}, "--duration needs a time above zero"},
        {{"-d", "1y", "R"}, "--duration needs a time above zero"},
        {{"-o", "", "R"}, "--output needs a file name"},
        {{"-r", "2V", "R"}, "--range needs --function: a range belongs to a function."},
        {{"-q", "-v", "R"}, "--quiet and --verbose cannot be used together."},
        {{"-qv", "R"}, "--quiet and --verbose cannot be used together."},
    };
    for (const Case& c : cases) {
        Parsed parsed = Parse(c.arguments);
        EXPECT_FALSE(parsed.ok) << c.error;
        EXPECT_EQ(parsed.error.substr(0, c.error.size()), c.error);
        EXPECT_EQ(parsed.error.back(), '.') << parsed.error;
        EXPECT_EQ(parsed.error.find('\n'), std::string::npos) << parsed.error;
    }
}

TEST(LogOptionsTest, DurationsInEveryUnit) {
    using logger::ParseDuration;
    EXPECT_EQ(ParseDuration("90"), milliseconds(90000));
    EXPECT_EQ(ParseDuration("90s"), milliseconds(90000));
    EXPECT_EQ(ParseDuration("1.5s"), milliseconds(1500));
    EXPECT_EQ(ParseDuration("500ms"), milliseconds(500));
    EXPECT_EQ(ParseDuration("10m"), milliseconds(600000));
    EXPECT_EQ(ParseDuration("2h"), milliseconds(7200000));
    EXPECT_EQ(ParseDuration("1d"), milliseconds(86400000));
    EXPECT_EQ(ParseDuration("0.25m"), milliseconds(15000));
    for (const char* wrong : {"", "s", "ms", ".", "-1", "+1", "1e3", "1..2", " 1", "1 s", "1sec",
                              "0", "0.0001", "1w", "99999999999d"}) {
        EXPECT_FALSE(ParseDuration(wrong)) << wrong;
    }
}

TEST(LogFunctionsTest, TwelveShortNamesForTheMetersFunctionsInAnyCase) {
    EXPECT_EQ(logger::LogFunctions().size(), 12u);
    const std::vector<std::pair<std::string, std::string>> names = {
        {"dcv", "VOLT"}, {"dci", "CURR"},  {"acv", "VOLT:AC"}, {"aci", "CURR:AC"},
        {"res", "RES"},  {"fres", "FRES"}, {"cap", "CAP"},     {"freq", "FREQ"},
        {"per", "PER"},  {"cont", "CONT"}, {"diode", "DIOD"},  {"temp", "TEMP"},
    };
    for (const auto& [shortName, instrument] : names) {
        const logger::LogFunction* function = logger::FindLogFunction(shortName);
        ASSERT_NE(function, nullptr) << shortName;
        EXPECT_EQ(function->instrumentName, instrument);
    }
    EXPECT_EQ(logger::FindLogFunction("DCV")->instrumentName, "VOLT");
    EXPECT_EQ(logger::FindLogFunction("volt"), nullptr);
    EXPECT_EQ(logger::FindLogFunction(""), nullptr);
    EXPECT_EQ(logger::FindLogFunction("dcvx"), nullptr);
}

TEST(LogFunctionsTest, RangesMatchInAnyCaseWithOhmsSpelledOut) {
    const std::vector<std::string> resistance = {"Auto",      "200\u03a9", "2K\u03a9",
                                                 "20K\u03a9", "2M\u03a9",  "10M\u03a9"};
    EXPECT_EQ(logger::MatchRange(resistance, "auto"), "Auto");
    EXPECT_EQ(logger::MatchRange(resistance, "2k"), "2K\u03a9");
    EXPECT_EQ(logger::MatchRange(resistance, "2kohm"), "2K\u03a9");
    EXPECT_EQ(logger::MatchRange(resistance, "20 K ohms"), "20K\u03a9");
    EXPECT_EQ(logger::MatchRange(resistance, "200\u03a9"), "200\u03a9");
    EXPECT_EQ(logger::MatchRange(resistance, "10M"), "10M\u03a9");
    EXPECT_FALSE(logger::MatchRange(resistance, "2"));
    EXPECT_FALSE(logger::MatchRange(resistance, "ohm"));
    EXPECT_FALSE(logger::MatchRange(resistance, ""));
    const std::vector<std::string> volts = {"Auto", "200mV", "2V", "20V"};
    EXPECT_EQ(logger::MatchRange(volts, "200MV"), "200mV");
    EXPECT_EQ(logger::MatchRange(volts, "20v"), "20V");
    EXPECT_FALSE(logger::MatchRange(volts, "20"));
}

}  // namespace
}  // namespace kvt::test
