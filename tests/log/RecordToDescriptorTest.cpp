// A recording to a descriptor already open (standard output, a pipe): the
// same CSV as to a file, the descriptor closed at the end, and a reader
// that goes away ending the recording with the reason.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "functions/BackgroundRecorder.h"
#include "functions/ReadingsRecorder.h"

namespace kvt::test {
namespace {

using functions::BackgroundRecorder;
using functions::ReadingsRecorder;
using functions::RecordedReading;

constexpr std::string_view kHeader = "time,seconds,function,value,unit,range\n";

RecordedReading Reading(std::chrono::steady_clock::time_point at, std::string value) {
    return {std::chrono::system_clock::now(), at, "DC Voltage", std::move(value), "V", "20V"};
}

std::string ReadAll(int fd) {
    std::string text;
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fd, chunk, sizeof chunk)) > 0) {
        text.append(chunk, static_cast<size_t>(n));
    }
    return text;
}

bool IsOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(RecordToDescriptorTest, ThePipeGetsTheHeaderAndWholeLinesAndIsClosedAtTheEnd) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ReadingsRecorder recorder;
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    ASSERT_TRUE(recorder.StartOnDescriptor(ends[1], "standard output", &error, start)) << error;
    EXPECT_EQ(recorder.Path(), "standard output");
    recorder.Record(Reading(start + std::chrono::milliseconds(250), "+1.00000000E+00"));
    recorder.Record(Reading(start + std::chrono::milliseconds(500), "+2.00000000E+00"));
    EXPECT_TRUE(recorder.Flush());
    // A pipe cannot be synchronised; that is no failure.
    EXPECT_TRUE(recorder.Sync());
    EXPECT_TRUE(recorder.Stop());
    EXPECT_FALSE(IsOpen(ends[1]));
    const std::string text = ReadAll(ends[0]);
    ::close(ends[0]);
    ASSERT_EQ(text.substr(0, kHeader.size()), kHeader);
    EXPECT_NE(text.find(",0.250,DC Voltage,+1.00000000E+00,V,20V\n"), std::string::npos) << text;
    EXPECT_NE(text.find(",0.500,DC Voltage,+2.00000000E+00,V,20V\n"), std::string::npos) << text;
    EXPECT_EQ(recorder.BytesWritten(), text.size());
    EXPECT_EQ(recorder.LinesRecorded(), 2u);
}

TEST(RecordToDescriptorTest, ABadDescriptorFailsToStartWithTheNameInTheReason) {
    ReadingsRecorder recorder;
    std::string error;
    EXPECT_FALSE(recorder.StartOnDescriptor(-1, "standard output", &error));
    EXPECT_NE(error.find("standard output"), std::string::npos) << error;
    EXPECT_FALSE(recorder.IsRecording());
}

TEST(RecordToDescriptorTest, AReaderThatGoesAwayEndsTheBackgroundRecordingWithTheReason) {
    // As in korvata-log: a write to a pipe nobody reads fails instead of
    // ending the process.
    struct sigaction ignore {
    }, before{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &before), 0);
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    BackgroundRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.StartOnDescriptor(ends[1], "standard output", &error)) << error;
    EXPECT_EQ(recorder.GetStatus().path, "standard output");
    EXPECT_EQ(recorder.GetStatus().bytes, kHeader.size());
    ::close(ends[0]);
    recorder.Record(Reading(std::chrono::steady_clock::now(), "+1.0E+00"));
    // The writer writes within a second; its failure is then waiting.
    std::string failure;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (failure.empty() && std::chrono::steady_clock::now() < deadline) {
        failure = recorder.TakeFailure();
        if (failure.empty()) {
            std::this_thread::yield();
        }
    }
    EXPECT_NE(failure.find("Recording to standard output stopped"), std::string::npos) << failure;
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_FALSE(recorder.Stop());
    ::sigaction(SIGPIPE, &before, nullptr);
}

}  // namespace
}  // namespace kvt::test
