// The status line: what it says, how it is cut to the terminal, and how it
// is drawn in place with messages above it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

#include "log/StatusLine.h"

namespace kvt::test {
namespace {

using logger::FormatBytes;
using logger::FormatElapsed;
using logger::FormatStatusLine;
using logger::StatusFacts;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(StatusLineTest, ReadingsRateLastValueElapsedAndSize) {
    StatusFacts facts;
    facts.readings = 1234;
    facts.elapsed = seconds(125);
    facts.lastValue = "+1.23456";
    facts.unit = "VDC";
    facts.bytes = 46694;
    EXPECT_EQ(FormatStatusLine(facts),
              "1234 readings  9.9/s  last +1.23456 VDC  0:02:05  45.6 KiB");
    facts.trouble = "meter not answering: reconnecting (attempt 3)";
    EXPECT_EQ(FormatStatusLine(facts),
              "1234 readings  9.9/s  last +1.23456 VDC  0:02:05  45.6 KiB  meter not answering: "
              "reconnecting (attempt 3)");
}

TEST(StatusLineTest, BeforeTheFirstReadingAndTheFirstSecond) {
    StatusFacts facts;
    facts.elapsed = milliseconds(400);
    facts.bytes = 39;
    // No rate from less than a second, no value before the first reading.
    EXPECT_EQ(FormatStatusLine(facts), "0 readings  0:00:00  39 B");
    facts.readings = 1;
    facts.lastValue = "OVLD";
    EXPECT_EQ(FormatStatusLine(facts), "1 reading  last OVLD  0:00:00  39 B");
}

TEST(StatusLineTest, CutToTheTerminalWithoutSplittingACharacter) {
    StatusFacts facts;
    facts.readings = 5;
    facts.elapsed = seconds(2);
    facts.lastValue = "1.000";
    facts.unit = "\u03a9";  // two bytes in UTF-8
    facts.bytes = 100;
    const std::string whole = FormatStatusLine(facts);
    ASSERT_EQ(whole, "5 readings  2.5/s  last 1.000 \u03a9  0:00:02  100 B");
    const size_t omega = whole.find("\u03a9");
    EXPECT_EQ(FormatStatusLine(facts, omega + 1), whole.substr(0, omega));
    EXPECT_EQ(FormatStatusLine(facts, omega + 2), whole.substr(0, omega + 2));
    EXPECT_EQ(FormatStatusLine(facts, 10), "5 readings");
    EXPECT_EQ(FormatStatusLine(facts, 1000), whole);
}

TEST(StatusLineTest, ElapsedTimesAndSizes) {
    EXPECT_EQ(FormatElapsed(milliseconds(999)), "0:00:00");
    EXPECT_EQ(FormatElapsed(seconds(59)), "0:00:59");
    EXPECT_EQ(FormatElapsed(seconds(3600 * 12)), "12:00:00");
    EXPECT_EQ(FormatElapsed(seconds(86400 * 3 + 4 * 3600 + 5 * 60 + 6)), "3d 04:05:06");
    EXPECT_EQ(FormatElapsed(seconds(-5)), "0:00:00");
    EXPECT_EQ(FormatBytes(0), "0 B");
    EXPECT_EQ(FormatBytes(1023), "1023 B");
    EXPECT_EQ(FormatBytes(1024), "1.0 KiB");
    EXPECT_EQ(FormatBytes(3355443), "3.2 MiB");
    EXPECT_EQ(FormatBytes(uint64_t{1181116006}), "1.1 GiB");
}

class DrawnLineTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(::pipe2(m_pipe, O_NONBLOCK), 0); }
    void TearDown() override {
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
    std::string Written() {
        std::string text;
        char chunk[4096];
        ssize_t n;
        while ((n = ::read(m_pipe[0], chunk, sizeof chunk)) > 0) {
            text.append(chunk, static_cast<size_t>(n));
        }
        return text;
    }
    int m_pipe[2] = {-1, -1};
};

TEST_F(DrawnLineTest, RedrawnInPlaceWithMessagesOnLinesOfTheirOwn) {
    logger::StatusLine line(m_pipe[1], true);
    line.Draw("1 reading");
    line.Draw("2 readings");
    line.Message("korvata-log: the meter stopped answering.");
    line.Message("korvata-log: reconnected.");
    line.Draw("3 readings");
    line.Clear();
    line.Clear();
    EXPECT_EQ(Written(),
              "\r\x1b[K1 reading\r\x1b[K2 readings\r\x1b[Kkorvata-log: the meter stopped "
              "answering.\nkorvata-log: reconnected.\n\r\x1b[K3 readings\r\x1b[K");
}

TEST_F(DrawnLineTest, OffATerminalOnlyTheMessages) {
    logger::StatusLine line(m_pipe[1], false);
    line.Draw("1 reading");
    line.Message("korvata-log: done.");
    line.Clear();
    EXPECT_EQ(Written(), "korvata-log: done.\n");
}

}  // namespace
}  // namespace kvt::test
