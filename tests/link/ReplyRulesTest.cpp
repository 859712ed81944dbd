// The reply rules on their own: field splitting, a corpus of malformed
// replies fed to every parser, each result checked against what that parser
// may return at all, and the checks that tell a garbled reply from a reply.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "link/RangeReply.h"
#include "link/ReadingReply.h"
#include "link/ReplyCheck.h"
#include "link/ReplyFields.h"
#include "link/SettingReply.h"

namespace kvt::test {
namespace {

using Views = std::vector<std::string_view>;

TEST(ReplyFields, SplitsAtEveryCommaWithoutCopying) {
    std::string reply = "1.0,,-2e3,x";
    Views fields = link::SplitFields(reply);
    EXPECT_EQ(fields, (Views{"1.0", "", "-2e3", "x"}));
    EXPECT_EQ(fields[0].data(), reply.data());  // a view into the reply
    EXPECT_EQ(link::SplitFields(""), Views{""});
    EXPECT_EQ(link::SplitFields(","), (Views{"", ""}));
}

TEST(ReplyRules, SecondaryReadingEdges) {
    EXPECT_EQ(link::SecondaryReadingFromReply("A|1,2,3\n"), "+1,2");  // up to the last comma
    EXPECT_EQ(link::SecondaryReadingFromReply("25.5\n"), "+25.5");    // no bar, no comma
    EXPECT_EQ(link::SecondaryReadingFromReply("1,|2\n"), "+2");       // comma before the bar
    EXPECT_EQ(link::SecondaryReadingFromReply("\n"), "+");
}

TEST(ReplyRules, ThresholdBeyondSinglePrecision) {
    EXPECT_EQ(link::ContinuityThresholdLabel("1e39\n"), "+999999999999999939709166371603178586112");
    EXPECT_EQ(link::ContinuityThresholdLabel("-0.3\n"), "-000");
    EXPECT_EQ(link::ContinuityThresholdLabel("\n"), "+0000");
}

TEST(ReplyRules, FunctionNameNeedsTwoQuotes) {
    EXPECT_EQ(link::FunctionNameFromReply("\"CURR:AC\"\n"), "CURR:AC");
    EXPECT_EQ(link::FunctionNameFromReply("x\"a\"b\"c\n"), "a\"b");
    EXPECT_EQ(link::FunctionNameFromReply("\"open\n"), "\"open\n");
}

// Replies an instrument or a broken link might produce.
std::vector<std::string> MalformedCorpus() {
    std::vector<std::string> corpus = {
        "",
        "\n",
        " ",
        ",",
        ",,,,",
        "\"",
        "\"\"",
        "|",
        "|,",
        ",|",
        "-",
        "+",
        ".",
        "e",
        "E+",
        "NONE",
        "NONE\n\n",
        "9.9E37",
        "-9.9e37\n",
        "1e308\n",
        "1e309",
        "-1e309 V\n",
        "1e-320\n",
        "0x1p3\n",
        "nan\n",
        "-inf\n",
        "+",
        "99999999999999999999999999999999",
        std::string(1, '\0'),
        std::string("\0\n", 2),
        "\xff\xfe\xfd",
        "Ω\n",
        "℃℉\n",
        "1 2 3,4 5 6,7 8\n",
        "\"VOLT\" \"AC\"",
        "DB;",
        ";DB",
        "ALL",
        "1,2|3,4|5\n",
        std::string(300, '9'),
        std::string(300, ','),
        std::string(300, '"'),
        "+1.0E+00,+2.0E+00,",
        "   ",
        "\r\n",
        "0\n0\n0",
    };
    return corpus;
}

bool IsSignedFixedTwelve(const std::string& text) {
    if (text.size() < 15 || (text[0] != '+' && text[0] != '-')) {
        return false;
    }
    size_t point = text.find('.');
    return point != std::string::npos && text.size() - point - 1 == 12 &&
           text.find_first_not_of("0123456789.", 1) == std::string::npos;
}

bool EndsWith(const std::string& text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

TEST(ReplyRules, MalformedRepliesGiveWellFormedResults) {
    const std::set<std::string> autoLabels = {"", "Auto", "Manual"};
    const std::set<std::string> onOff = {"", "On", "Off"};
    const std::set<std::string> speeds = {"", "Fast", "Middle", "Slow"};
    const std::set<std::string> impedances = {"", "10M", "10G"};
    const std::set<std::string> units = {"", "℃", "℉", "K"};
    for (const std::string& reply : MalformedCorpus()) {
        SCOPED_TRACE(testing::PrintToString(reply));
        std::string reading = link::ReadingFromReply(reply);
        EXPECT_TRUE(reading.empty() == reply.empty());
        EXPECT_TRUE(reading.empty() || reading == "Overload" || IsSignedFixedTwelve(reading))
            << reading;

        EXPECT_TRUE(autoLabels.count(link::AutoRangeLabel(reply)));
        EXPECT_TRUE(onOff.count(link::OnOffLabel(reply)));
        EXPECT_TRUE(onOff.count(link::BeeperLabel(reply)));
        EXPECT_TRUE(speeds.count(link::SpeedLabel(reply)));
        EXPECT_TRUE(impedances.count(link::InputImpedanceLabel(reply)));
        EXPECT_TRUE(units.count(link::TemperatureUnitLabel(reply)));
        std::string scale = link::ScaleFunctionLabel(reply);
        EXPECT_TRUE(scale == "dB" || scale == "dBm");
        std::string mode = link::TrendModeLabel(reply);
        EXPECT_TRUE(mode == "ALL" || mode == "REC");

        for (bool dropSign : {true, false}) {
            std::string volts = link::VoltRangeLabel(reply, dropSign);
            EXPECT_TRUE(volts.empty() ? reply.empty() : EndsWith(volts, "V")) << volts;
        }
        std::string amps = link::CurrentRangeLabel(reply);
        EXPECT_TRUE(amps.empty() ? reply.empty() : EndsWith(amps, "A")) << amps;
        std::string ohms = link::ResistanceRangeLabel(reply);
        EXPECT_TRUE(ohms.empty() ? reply.empty() : EndsWith(ohms, "Ω")) << ohms;
        std::string farads = link::CapacitanceRangeLabel(reply);
        EXPECT_TRUE(farads.empty() ? reply.empty() : EndsWith(farads, "F")) << farads;

        std::string threshold = link::ContinuityThresholdLabel(reply);
        EXPECT_TRUE(threshold.empty() == reply.empty());
        EXPECT_TRUE(threshold.empty() || threshold.size() >= 4);
        EXPECT_LE(link::TransducerNameFromReply(reply).size(), reply.size());
        EXPECT_LE(link::SecondaryReadingFromReply(reply).size(), reply.size() + 1);
        EXPECT_LE(link::FunctionNameFromReply(reply).size(), reply.size());

        std::vector<std::string> names;
        EXPECT_EQ(link::AppendTransducerNames(reply, names), !reply.empty());
        size_t total = 0;
        for (const std::string& name : names) {
            total += name.size();
        }
        EXPECT_LE(total, reply.size());

        size_t joined = 0;
        for (std::string_view field : link::SplitFields(reply)) {
            EXPECT_EQ(field.find(','), std::string_view::npos);
            joined += field.size() + 1;
        }
        EXPECT_EQ(joined, reply.size() + 1);
    }
}

TEST(ReplyCheck, NumberListsAcceptNumbersAndBlanksOnly) {
    EXPECT_TRUE(link::IsNumberListReply("+1.0E+00,-2.5,3\n"));
    EXPECT_TRUE(link::IsNumberListReply(" 1 , 2 ,3 \n"));
    EXPECT_TRUE(link::IsNumberListReply("   \n"));  // a record with no values
    EXPECT_TRUE(link::IsNumberListReply(""));
    EXPECT_FALSE(link::IsNumberListReply("1,,2\n"));
    EXPECT_FALSE(link::IsNumberListReply("1,2,\n"));
    EXPECT_FALSE(link::IsNumberListReply("1,2x,3\n"));
    EXPECT_FALSE(link::IsNumberListReply("\x91\x02,\x7F"));
    // A reply that filled its buffer may end in a cut number; the fields
    // before the last comma are still judged.
    EXPECT_FALSE(link::IsNumberListReply("1,2,3.5E", false));
    EXPECT_TRUE(link::IsNumberListReply("1,2,3.5E", true));
    EXPECT_TRUE(link::IsNumberListReply("3.5E", true));
    EXPECT_FALSE(link::IsNumberListReply("1,q,3.5E", true));
}

TEST(ReplyCheck, WordsAndSensorReadings) {
    EXPECT_TRUE(link::IsWordReply("REC\n"));
    EXPECT_TRUE(link::IsWordReply("ALL"));
    EXPECT_FALSE(link::IsWordReply("\n"));
    EXPECT_FALSE(link::IsWordReply("AL\x8CL\n"));
    EXPECT_FALSE(link::IsWordReply("1\n"));
    EXPECT_TRUE(link::IsSensorReadingReply("KITS90|+1.23400000E-03,V\n"));
    EXPECT_TRUE(link::IsSensorReadingReply("PT100|+1.08E+02,OHM\n"));
    EXPECT_TRUE(link::IsSensorReadingReply("+1.08E+02\n"));
    EXPECT_FALSE(link::IsSensorReadingReply("PT100|\x93\x11,OHM\n"));
    EXPECT_FALSE(link::IsSensorReadingReply("PT100|,OHM\n"));
}

}  // namespace
}  // namespace kvt::test
