#include "visa/MessageReadBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace kvt::visa {
namespace {

std::string TakeText(MessageReadBuffer& buffer, ViUInt32 count, ViStatus& status,
                     bool term = false) {
    ViByte data[64] = {};
    ViUInt32 got = 0;
    status = buffer.Take(data, count, term, '\n', got);
    return std::string(reinterpret_cast<char*>(data), got);
}

TEST(MessageReadBuffer, SmallReadsLeaveTheRestReadable) {
    MessageReadBuffer buffer;
    buffer.Append("+1.23400000E+00\n", true);
    ViStatus status = VI_SUCCESS;
    EXPECT_TRUE(buffer.CanComplete(4, false, '\n'));
    EXPECT_EQ(TakeText(buffer, 4, status), "+1.2");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(TakeText(buffer, 32, status), "3400000E+00\n");
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_TRUE(buffer.Empty());
}

TEST(MessageReadBuffer, ExactFitEndsWithEnd) {
    MessageReadBuffer buffer;
    buffer.Append("abc", true);
    ViStatus status = VI_SUCCESS_MAX_CNT;
    EXPECT_EQ(TakeText(buffer, 3, status), "abc");
    EXPECT_EQ(status, VI_SUCCESS);
}

TEST(MessageReadBuffer, TerminationCharacterEndsARead) {
    MessageReadBuffer buffer;
    buffer.Append("one\ntwo\n", false);
    EXPECT_FALSE(buffer.CanComplete(32, false, '\n'));
    EXPECT_TRUE(buffer.CanComplete(32, true, '\n'));
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(TakeText(buffer, 32, status, true), "one\n");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(TakeText(buffer, 32, status, true), "two\n");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_FALSE(buffer.CanComplete(32, true, '\n'));
}

TEST(MessageReadBuffer, WaitsForMoreWithoutEndOrTerminator) {
    MessageReadBuffer buffer;
    buffer.Append("partial", false);
    EXPECT_FALSE(buffer.CanComplete(32, true, '\n'));
    EXPECT_TRUE(buffer.CanComplete(7, true, '\n'));
    buffer.Append(" rest", true);
    EXPECT_TRUE(buffer.CanComplete(32, false, '\n'));
    ViStatus status = VI_SUCCESS_MAX_CNT;
    EXPECT_EQ(TakeText(buffer, 32, status), "partial rest");
    EXPECT_EQ(status, VI_SUCCESS);
}

TEST(MessageReadBuffer, MoreArrivingAfterPartialReadsJoinsWhatIsLeft) {
    MessageReadBuffer buffer;
    buffer.Append("abcdef", false);
    ViStatus status = VI_SUCCESS;
    EXPECT_EQ(TakeText(buffer, 4, status), "abcd");
    EXPECT_EQ(buffer.Size(), 2u);
    // The terminator already handed out is not found again.
    EXPECT_FALSE(buffer.CanComplete(8, true, 'b'));
    buffer.Append("gh\nij", true);
    EXPECT_EQ(buffer.Size(), 7u);
    EXPECT_TRUE(buffer.CanComplete(32, true, '\n'));
    EXPECT_EQ(TakeText(buffer, 32, status, true), "efgh\n");
    EXPECT_EQ(status, VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(TakeText(buffer, 32, status, true), "ij");
    EXPECT_EQ(status, VI_SUCCESS);
    EXPECT_TRUE(buffer.Empty());
    // A terminator beyond the count does not cut the read short.
    buffer.Append("0123456789\n", true);
    EXPECT_EQ(TakeText(buffer, 5, status, true), "01234");
    EXPECT_EQ(status, VI_SUCCESS_MAX_CNT);
    buffer.Clear();
    EXPECT_TRUE(buffer.Empty());
    EXPECT_FALSE(buffer.CanComplete(1, true, '\n'));
}

}  // namespace
}  // namespace kvt::visa
