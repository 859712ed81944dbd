// Faults as the served instrument applies them, counted exactly, and the
// command log they leave.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

#include "sim/CommandLog.h"
#include "sim/MeterModel.h"
#include "sim/ServedInstrument.h"

namespace {

using kvt::sim::FaultSettings;
using kvt::sim::MeterModel;
using kvt::sim::ServedInstrument;

const std::string kIdentity = std::string(MeterModel::kIdentity) + "\n";

ServedInstrument::Output Query(ServedInstrument& instrument, std::string_view command) {
    instrument.Receive(command);
    return instrument.TakeResponse();
}

std::unique_ptr<ServedInstrument> Make(FaultSettings faults, kvt::sim::CommandLog* log = nullptr) {
    return std::make_unique<ServedInstrument>(std::make_shared<MeterModel>(), faults, log);
}

TEST(ServedInstrument, WithoutFaultsPassesRepliesThrough) {
    auto instrument = Make({});
    ServedInstrument::Output out = Query(*instrument, "*IDN?");
    EXPECT_EQ(out.bytes, kIdentity);
    EXPECT_FALSE(out.dropMidway);
    EXPECT_TRUE(Query(*instrument, "*CLS").bytes.empty());
    EXPECT_EQ(instrument->StatusByte() & 0x10, 0);
    instrument->Receive("*IDN?");
    EXPECT_EQ(instrument->StatusByte() & 0x10, 0x10);
    instrument->DeviceClear();
    EXPECT_TRUE(instrument->TakeResponse().bytes.empty());
}

TEST(ServedInstrument, GoesSilentAfterExactlyNCommands) {
    FaultSettings faults;
    faults.silentAfter = 2;
    auto instrument = Make(faults);
    EXPECT_EQ(Query(*instrument, "*IDN?").bytes, kIdentity);
    EXPECT_EQ(Query(*instrument, "ECHO? 2").bytes, "2\n");
    EXPECT_TRUE(Query(*instrument, "ECHO? 3").bytes.empty());
    EXPECT_TRUE(Query(*instrument, "*IDN?").bytes.empty());
    // Swallowed replies do not pile up in the meter.
    EXPECT_TRUE(instrument->TakeResponse().bytes.empty());
    EXPECT_EQ(instrument->StatusByte() & 0x10, 0);
}

TEST(ServedInstrument, DropsEveryReplyAfterExactlyNCommands) {
    FaultSettings faults;
    faults.dropAfter = 1;
    auto instrument = Make(faults);
    EXPECT_FALSE(Query(*instrument, "*IDN?").dropMidway);
    // A command without a reply counts too.
    EXPECT_TRUE(Query(*instrument, "*CLS").bytes.empty());
    ServedInstrument::Output out = Query(*instrument, "*IDN?");
    EXPECT_TRUE(out.dropMidway);
    EXPECT_EQ(out.bytes, kIdentity);
    EXPECT_TRUE(Query(*instrument, "*IDN?").dropMidway);
}

TEST(ServedInstrument, GarblesEveryNthReplyKeepingItsLengthAndTerminator) {
    FaultSettings faults;
    faults.garbageEvery = 3;
    auto instrument = Make(faults);
    for (int i = 1; i <= 7; ++i) {
        std::string bytes = Query(*instrument, "*IDN?").bytes;
        ASSERT_EQ(bytes.size(), kIdentity.size()) << i;
        EXPECT_EQ(bytes == kIdentity, i % 3 != 0) << i;
        EXPECT_EQ(bytes.find('\n'), bytes.size() - 1) << i;
    }
}

TEST(ServedInstrument, PadsShortRepliesBeforeTheTerminator) {
    FaultSettings faults;
    faults.oversize = 100;
    auto instrument = Make(faults);
    std::string bytes = Query(*instrument, "ECHO? 12").bytes;
    EXPECT_EQ(bytes, "12" + std::string(97, ' ') + "\n");
    std::string longer(200, 'y');
    EXPECT_EQ(Query(*instrument, "ECHO? " + longer).bytes, longer + "\n");
}

TEST(ServedInstrument, DelaysEachReplyButNotAnEmptyOne) {
    FaultSettings faults;
    // A delay long enough that an undelayed empty reply cannot reach it
    // even on a loaded machine.
    constexpr std::chrono::milliseconds kDelay{2000};
    faults.delayMs = static_cast<unsigned>(kDelay.count());
    auto instrument = Make(faults);
    auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Query(*instrument, "*CLS").bytes.empty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, kDelay);
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(Query(*instrument, "*IDN?").bytes, kIdentity);
    EXPECT_GE(std::chrono::steady_clock::now() - start, kDelay);
}

class CommandLogFile : public ::testing::Test {
protected:
    std::string m_path = ::testing::TempDir() + "korvata-commandlog-" + std::to_string(::getpid()) +
                         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                         ".log";
    void TearDown() override { std::remove(m_path.c_str()); }

    std::string Contents() const {
        std::ifstream in(m_path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(CommandLogFile, LogsCommandsAndRepliesInOrderWithEscapes) {
    kvt::sim::CommandLog log;
    std::string error;
    ASSERT_TRUE(log.Open(m_path, error)) << error;
    FaultSettings faults;
    faults.dropAfter = 2;
    faults.silentAfter = 3;
    auto instrument = Make(faults, &log);
    Query(*instrument, "*IDN?");
    Query(*instrument, "ECHO? a\tb\\c\x01\xC3\xA9");
    Query(*instrument, "ECHO? abcdef");  // cut in half: only what is sent is logged
    Query(*instrument, "ECHO? silent");  // swallowed: nothing sent, nothing logged
    EXPECT_EQ(Contents(),
              "> *IDN?\n"
              "< " +
                  std::string(MeterModel::kIdentity) +
                  "\\n\n"
                  "> ECHO? a\\tb\\\\c\\x01\\xC3\\xA9\n"
                  "< a\\tb\\\\c\\x01\\xC3\\xA9\\n\n"
                  "> ECHO? abcdef\n"
                  "< abc\n"
                  "> ECHO? silent\n");
}

TEST_F(CommandLogFile, ReportsAFileThatCannotBeOpened) {
    kvt::sim::CommandLog log;
    std::string error;
    EXPECT_FALSE(log.Open("/nonexistent-dir/x.log", error));
    EXPECT_NE(error.find("/nonexistent-dir/x.log"), std::string::npos);
    log.Command("*IDN?");  // logging to nothing is harmless
}

}  // namespace
