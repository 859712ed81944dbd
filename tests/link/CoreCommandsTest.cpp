// The general commands: exact bytes sent, reply rules of the function and
// reading queries, the key-code pause, and the start-up and disconnect
// building blocks.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "link/ConnectionSequences.h"
#include "link/CoreCommands.h"
#include "tests/link/LinkFixture.h"

namespace kvt::test {
namespace {

using Strings = std::vector<std::string>;
using CoreCommands = LinkFixture;

TEST_F(CoreCommands, SetFunctionSendsTheTableCommand) {
    const std::pair<const char*, const char*> table[] = {
        {"VOLT", "FUNC \"VOLT:DC\""},    {"CURR", "FUNC \"CURR:DC\""},
        {"VOLT:AC", "FUNC \"VOLT:AC\""}, {"CURR:AC", "FUNC \"CURR:AC\""},
        {"RES", "FUNC \"RES\""},         {"FRES", "FUNC \"FRES\""},
        {"CAP", "FUNC \"CAP\""},         {"FREQ", "FUNC \"FREQ\""},
        {"PER", "FUNC \"PER\""},         {"CONT", "FUNC \"CONT\""},
        {"DIOD", "FUNC \"DIOD\""},       {"TEMP", "FUNC \"TEMP\""},
    };
    for (const auto& [name, command] : table) {
        link::SetFunction(name);
        EXPECT_EQ(Sent(), Strings{command}) << name;
    }
    // Names are compared exactly; anything else is an empty command.
    link::SetFunction("volt");
    link::SetFunction("VOLT:DC");
    EXPECT_EQ(Sent(), (Strings{"", ""}));
}

TEST_F(CoreCommands, TriggerAndSampleCommands) {
    link::SetTriggerCountInfinite();
    link::Initiate();
    link::SetTriggerDelay("Auto");
    link::SetTriggerDelay("0.5");
    link::SetTriggerDelay("auto");
    link::SetTriggerOutputSlope("POS");
    link::SetTriggerOutputSlope("NEG");
    link::SetSampleCount("100");
    EXPECT_EQ(Sent(),
              (Strings{"TRIG:COUN INF", "INIT", "TRIG:DEL:AUTO ON", "TRIG:DEL 0.5", "TRIG:DEL auto",
                       "OUTP:TRIG:SLOP POS", "OUTP:TRIG:SLOP NEG", "SAMP:COUN 100"}));
    EXPECT_TRUE(PausesMs().empty());
    EXPECT_TRUE(Failures().empty());
}

TEST_F(CoreCommands, GetFunctionTakesTheQuotedName) {
    m_device->Answer("FUNCTION?", "\"VOLT:AC\"\n");
    EXPECT_EQ(link::GetFunction(), "VOLT:AC");
    EXPECT_EQ(Timeline(), (Strings{"FUNCTION?", "pause 100", "read"}));

    m_device->Answer("FUNCTION?", "VOLT\n");
    EXPECT_EQ(link::GetFunction(), "VOLT\n");
    m_device->Answer("FUNCTION?", "\"\"\n");
    EXPECT_EQ(link::GetFunction(), "");
    EXPECT_TRUE(Failures().empty());
}

TEST_F(CoreCommands, GetFunctionWithoutAnswer) {
    EXPECT_EQ(link::GetFunction(), "");
    EXPECT_EQ(Failures().size(), 1u);  // the read timed out

    Connection()->Close();
    EXPECT_EQ(link::GetFunction(), "");
    EXPECT_EQ(Failures().size(), 1u);  // refused before any read: no message
}

TEST_F(CoreCommands, ReadLastValueFormatsTheReading) {
    const std::pair<const char*, const char*> table[] = {
        {"1.5E-3\n", "+0.001500000000"},
        {"+1.50000000E-03 VDC\n", "+0.001500000000"},
        {"-2.5\n", "-2.500000000000"},
        {"0\n", "+0.000000000000"},
        {"+9.90000000E+37\n", "Overload"},
        {"+9.90000000E+37 VDC\n", "Overload"},
        {"-9.9E37\n", "Overload"},
        {"-1.0E+38 OHM\n", "Overload"},
        // Large readings below the overload level are written in full.
        {"9.8E37\n", "+98000000000000007994145229985347010560.000000000000"},
        {"1E19\n", "+10000000000000000000.000000000000"},
        {"-1.2345E25\n", "-12344999999999999704301568.000000000000"},
    };
    for (const auto& [reply, reading] : table) {
        m_device->Answer("DATA:LAST?", reply);
        EXPECT_EQ(link::ReadLastValue(), reading) << reply;
    }
    for (const std::string& sent : Sent()) {
        EXPECT_EQ(sent, "DATA:LAST?");
    }
}

TEST_F(CoreCommands, GarbledReadingIsAFailedExchangeNotAZero) {
    // Replies that arrived but are not a reading: each is a failed
    // exchange with the one failure message, never a value of 0.
    const char* garbled[] = {"garbage\n",   "\x93\x11q\x7F\x02+\xC8\n",
                             "1.5E-3x\n",   "+1.5E\n",
                             "+\n",         ".\n",
                             "1.5 V\x01\n", "--1\n",
                             "1,5\n",       " 1.5\n"};
    for (const char* reply : garbled) {
        m_device->Answer("DATA:LAST?", reply);
        EXPECT_EQ(link::ReadLastValue(), "") << reply;
    }
    EXPECT_EQ(Failures().size(), std::size(garbled));
    // Well-formed neighbours of those still read.
    m_device->Answer("DATA:LAST?", ".5 VDC \r\n");
    EXPECT_EQ(link::ReadLastValue(), "+0.500000000000");
    m_device->Answer("DATA:LAST?", "-7e+2   \n");
    EXPECT_EQ(link::ReadLastValue(), "-700.000000000000");
    EXPECT_EQ(Failures().size(), std::size(garbled));
}

TEST_F(CoreCommands, ReadingReplyBoundedByWhatArrived) {
    // 40 characters for a 32-byte buffer: the reading is taken from the
    // first 32 and the tail does not leak into the next reply.
    m_device->Answer("DATA:LAST?", "+1.2345678901234567890123456789012345E+00\n");
    m_device->Answer("FUNCTION?", "\"RES\"\n");
    EXPECT_EQ(link::ReadLastValue(), "+1.234567890123");
    EXPECT_EQ(link::GetFunction(), "RES");
    // A zero byte ends the reply text.
    m_device->Answer("DATA:LAST?", std::string("2.5\0 99999", 10));
    EXPECT_EQ(link::ReadLastValue(), "+2.500000000000");
}

TEST_F(CoreCommands, ReadLastValueWithoutAnswerIsEmpty) {
    EXPECT_EQ(link::ReadLastValue(), "");
    EXPECT_EQ(link::ReadContinuityValue(), "");
    EXPECT_EQ(Failures().size(), 2u);
}

TEST_F(CoreCommands, ContinuityShowsOpenForOverload) {
    m_device->Answer("DATA:LAST?", "+9.90000000E+37 OHM\n");
    EXPECT_EQ(link::ReadContinuityValue(), "open");
    m_device->Answer("DATA:LAST?", "+1.20000000E+01 OHM\n");
    EXPECT_EQ(link::ReadContinuityValue(), "+12.000000000000");
    EXPECT_EQ(link::ReadLastValue(), "+12.000000000000");
}

TEST_F(CoreCommands, PanelKeyIsFollowedByItsPause) {
    for (std::string_view key : {link::kKeyRun, link::kKeySingle, link::kKeyOk, link::kKeyIncrease,
                                 link::kKeyRange, link::kKeyDecrease}) {
        link::SendPanelKey(key);
    }
    link::SendPanelKey("$$SY_FP 6");
    Strings expected;
    for (const char* key : {"$$SY_FP 21", "$$SY_FP 6", "$$SY_FP 24", "$$SY_FP 14", "$$SY_FP 15",
                            "$$SY_FP 16", "$$SY_FP 6"}) {
        expected.insert(expected.end(), {key, "pause 100"});
    }
    EXPECT_EQ(Timeline(), expected);
    // The pause follows the key even when the write fails.
    Connection()->Close();
    link::SendPanelKey(link::kKeyDisconnect);
    EXPECT_EQ(PausesMs(), std::vector<long long>{100});
    EXPECT_TRUE(Failures().empty());
}

TEST_F(CoreCommands, StartMeasuringSequence) {
    m_device->Answer("FUNCTION?", "\"FRES\"\n");
    EXPECT_EQ(link::StartMeasuring(), "FRES");
    EXPECT_EQ(Timeline(),
              (Strings{"FUNCTION?", "pause 100", "read", "TRIG:COUN INF", "pause 50", "INIT"}));
}

TEST_F(CoreCommands, SelectFunctionOnlyWhileOpen) {
    EXPECT_TRUE(link::SelectFunction("CURR"));
    EXPECT_EQ(Timeline(), (Strings{"FUNC \"CURR:DC\"", "pause 1000"}));
    Connection()->Close();
    EXPECT_FALSE(link::SelectFunction("VOLT"));
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(PausesMs().empty());
}

TEST_F(CoreCommands, ReleaseInstrumentSendsTheLocalKey) {
    link::ReleaseInstrument();
    EXPECT_EQ(Timeline(), (Strings{"$$SY_FP 13", "pause 100"}));
}

}  // namespace
}  // namespace kvt::test
