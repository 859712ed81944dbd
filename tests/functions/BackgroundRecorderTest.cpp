// The recorder the reading workers feed: many threads at once, lines that
// reach the file within a second with no further reading, and recordings
// that end on their own (a full disk, a deleted file) with a reason given
// once while the callers go on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <stdlib.h>
#include <sys/resource.h>

#include "functions/BackgroundRecorder.h"
#include "tests/functions/FileText.h"

namespace kvt::test {
namespace {

namespace fs = std::filesystem;
using functions::BackgroundRecorder;
using functions::RecordedReading;

RecordedReading Reading(std::string value) {
    return {std::chrono::system_clock::now(),
            std::chrono::steady_clock::now(),
            "DC Voltage",
            std::move(value),
            "V",
            "2V"};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The value column of a line.
std::string ValueOf(const std::string& line) {
    size_t start = 0;
    for (int field = 0; field < 3; ++field) {
        start = line.find(',', start) + 1;
    }
    return line.substr(start, line.find(',', start) - start);
}

// Checks predicate every few milliseconds until it holds or timeout
// passes; true when it held.
template <class Predicate>
bool WaitFor(Predicate predicate, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!predicate()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class BackgroundRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_folder.Path().empty());
        m_dir = m_folder.Path();
        m_file = m_dir / "log.csv";
    }

    TempFolder m_folder{"kvt-background"};
    fs::path m_dir;
    fs::path m_file;
};

TEST_F(BackgroundRecorderTest, ReadingsFromManyThreadsAllArriveWholeAndInEachThreadsOrder) {
    constexpr int kThreads = 6;
    constexpr int kEach = 3000;
    BackgroundRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Start(m_file, &error)) << error;
    EXPECT_TRUE(recorder.IsRecording());
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&recorder, t] {
            for (int i = 0; i < kEach; ++i) {
                recorder.Record(Reading(std::to_string(t) + "." + std::to_string(i)));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(recorder.GetStatus().readings, uint64_t{kThreads * kEach});
    ASSERT_TRUE(recorder.Stop(&error)) << error;
    EXPECT_FALSE(recorder.IsRecording());

    std::string text = ReadFile(m_file);
    ASSERT_EQ(text.back(), '\n');
    std::vector<std::string> lines = Lines(text);
    ASSERT_EQ(lines.size(), size_t{kThreads * kEach + 1});
    EXPECT_EQ(lines.front(), "time,seconds,function,value,unit,range");
    std::vector<int> next(kThreads, 0);
    for (size_t i = 1; i < lines.size(); ++i) {
        std::string value = ValueOf(lines[i]);
        int thread = std::stoi(value.substr(0, value.find('.')));
        int index = std::stoi(value.substr(value.find('.') + 1));
        ASSERT_EQ(index, next[static_cast<size_t>(thread)]) << lines[i];
        ++next[static_cast<size_t>(thread)];
    }
    const BackgroundRecorder::Status status = recorder.GetStatus();
    EXPECT_FALSE(status.recording);
    EXPECT_EQ(status.bytes, text.size());
    EXPECT_EQ(status.dropped, 0u);
    EXPECT_TRUE(status.error.empty());

    // Recording again into another file starts afresh.
    fs::path second = m_dir / "second.csv";
    ASSERT_TRUE(recorder.Start(second, &error)) << error;
    recorder.Record(Reading("+1.0E+00"));
    ASSERT_TRUE(recorder.Stop(&error)) << error;
    EXPECT_EQ(Lines(ReadFile(second)).size(), 2u);
    EXPECT_EQ(recorder.GetStatus().readings, 1u);
}

TEST_F(BackgroundRecorderTest, ALineReachesTheFileWithinASecondWithoutAnotherReading) {
    BackgroundRecorder recorder;
    ASSERT_TRUE(recorder.Start(m_file, nullptr));
    const uintmax_t header = fs::file_size(m_file);
    const auto recorded = std::chrono::steady_clock::now();
    recorder.Record(Reading("+2.5E+00"));
    // The writer's own period brings it out; a generous bound for a busy
    // machine, but no later than that.
    ASSERT_TRUE(WaitFor([&] { return fs::file_size(m_file) > header; }, std::chrono::seconds(5)));
    const auto waited = std::chrono::steady_clock::now() - recorded;
    EXPECT_LT(waited, std::chrono::milliseconds(2500));
    EXPECT_TRUE(recorder.IsRecording());
    std::string text = ReadFile(m_file);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(ValueOf(Lines(text).back()), "+2.5E+00");
    // The status follows once the writer has finished its round.
    EXPECT_TRUE(WaitFor([&] { return recorder.GetStatus().bytes == text.size(); },
                        std::chrono::seconds(5)));
}

TEST_F(BackgroundRecorderTest, AFullDiskEndsTheRecordingOnceWithWholeLinesAndCallersGoOn) {
    BackgroundRecorder recorder;
    ASSERT_TRUE(recorder.Start(m_file, nullptr));
    recorder.Record(Reading("+1.0E+00"));
    ASSERT_TRUE(WaitFor([&] { return recorder.GetStatus().bytes > 40; }, std::chrono::seconds(5)));
    const uint64_t before = recorder.GetStatus().bytes;

    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = before + 100;  // a line and a bit
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 0; i < 50; ++i) {
        recorder.Record(Reading("+3.0E+00"));
    }
    const bool ended = WaitFor([&] { return !recorder.IsRecording(); }, std::chrono::seconds(5));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_TRUE(ended);

    recorder.Record(Reading("+4.0E+00"));  // ignored, and harmless
    const std::string failure = recorder.TakeFailure();
    EXPECT_NE(failure.find(m_file.string()), std::string::npos) << failure;
    EXPECT_NE(failure.find(std::strerror(EFBIG)), std::string::npos) << failure;
    EXPECT_EQ(recorder.TakeFailure(), "");
    std::string text = ReadFile(m_file);
    EXPECT_EQ(text.back(), '\n');
    const BackgroundRecorder::Status status = recorder.GetStatus();
    EXPECT_EQ(status.bytes, text.size());
    EXPECT_EQ(status.readings + 1, Lines(text).size());
    EXPECT_EQ(status.error, failure);
    std::string error;
    EXPECT_FALSE(recorder.Stop(&error));
    EXPECT_EQ(error, failure);
}

TEST_F(BackgroundRecorderTest, ADeletedFileOrRemovedFolderEndsTheRecordingWithAReason) {
    for (bool wholeFolder : {false, true}) {
        fs::path folder = m_dir / "run";
        fs::create_directory(folder);
        fs::path file = folder / "log.csv";
        BackgroundRecorder recorder;
        ASSERT_TRUE(recorder.Start(file, nullptr));
        if (wholeFolder) {
            fs::remove_all(folder);
        } else {
            fs::remove(file);
        }
        recorder.Record(Reading("+1.0E+00"));
        ASSERT_TRUE(WaitFor([&] { return !recorder.IsRecording(); }, std::chrono::seconds(5)))
            << wholeFolder;
        const std::string failure = recorder.TakeFailure();
        EXPECT_NE(failure.find("deleted, or its folder removed"), std::string::npos) << failure;
        fs::remove_all(folder);
    }
}

TEST_F(BackgroundRecorderTest, StartingInAPlaceThatCannotHoldAFileSaysWhy) {
    BackgroundRecorder recorder;
    std::string error;
    EXPECT_FALSE(recorder.Start(m_dir / "missing" / "log.csv", &error));
    EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;
    EXPECT_FALSE(recorder.IsRecording());
    recorder.Record(Reading("+1.0E+00"));
    EXPECT_EQ(recorder.GetStatus().readings, 0u);
    EXPECT_EQ(recorder.GetStatus().error, error);
}

}  // namespace
}  // namespace kvt::test
