// The unattended-logging recorder: the CSV it writes, when it writes, and
// recordings that end on a failed write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "functions/ReadingsRecorder.h"
#include "tests/functions/FileText.h"

namespace kvt::test {
namespace {

namespace fs = std::filesystem;
using functions::ReadingsRecorder;
using functions::RecordedReading;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr std::string_view kHeader = "time,seconds,function,value,unit,range\n";

// 2026-12-09 15:40:01.123 UTC.
const std::chrono::system_clock::time_point kWall =
    std::chrono::system_clock::time_point(seconds(1796830801)) + milliseconds(123);
// Any steady moment will do as the start of a recording.
const std::chrono::steady_clock::time_point kStart =
    std::chrono::steady_clock::time_point(seconds(5000));

// Sets the time zone for the process and puts the old one back.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (m_had) {
            m_old = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (m_had) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

RecordedReading Reading(std::chrono::steady_clock::duration sinceStart,
                        std::string value = "+1.23456789E+00") {
    return {kWall, kStart + sinceStart, "DC Voltage", std::move(value), "V", "10 V"};
}

class ReadingsRecorderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(m_folder.Path().empty());
        m_dir = m_folder.Path();
        m_file = m_dir / "log.csv";
    }

    // The lines of the file after the header.
    std::string Body() {
        std::string text = ReadFile(m_file);
        EXPECT_EQ(text.substr(0, kHeader.size()), kHeader);
        return text.substr(std::min(text.size(), kHeader.size()));
    }

    TempFolder m_folder{"kvt-recorder"};
    fs::path m_dir;
    fs::path m_file;
};

TEST_F(ReadingsRecorderTest, HeaderAndLinesInTheLocalZone) {
    ReadingsRecorder recorder;
    {
        ZoneGuard zone("KVT-1");  // one hour east of UTC, no summer time
        std::string error;
        ASSERT_TRUE(recorder.Start(m_file, &error, kStart)) << error;
        EXPECT_TRUE(recorder.IsRecording());
        EXPECT_EQ(ReadFile(m_file), kHeader);
        // Rounded to whole milliseconds.
        recorder.Record(Reading(std::chrono::microseconds(1234400)));
    }
    {
        ZoneGuard zone("KVT+5:30");  // five and a half hours west
        RecordedReading reading = Reading(seconds(3725) + milliseconds(5), "-0.00012345");
        reading.unit = "A";
        reading.range = "";
        recorder.Record(reading);
    }
    EXPECT_EQ(recorder.LinesRecorded(), 2u);
    ASSERT_TRUE(recorder.Stop()) << recorder.Error();
    EXPECT_FALSE(recorder.IsRecording());
    EXPECT_EQ(Body(),
              "2026-12-09T16:40:01.123+01:00,1.234,DC Voltage,+1.23456789E+00,V,10 V\n"
              "2026-12-09T10:10:01.123-05:30,3725.005,DC Voltage,-0.00012345,A,\n");
    EXPECT_EQ(recorder.BytesWritten(), fs::file_size(m_file));
    EXPECT_TRUE(recorder.Error().empty());
}

TEST_F(ReadingsRecorderTest, FieldsWithCommasQuotesOrLineBreaksAreQuoted) {
    ZoneGuard zone("UTC0");
    ReadingsRecorder recorder;
    ASSERT_TRUE(recorder.Start(m_file, nullptr, kStart));
    recorder.Record({kWall, kStart, "Temp \"K\", 2", "1,5", "°C", "line\nbreak\r"});
    ASSERT_TRUE(recorder.Stop());
    EXPECT_EQ(Body(),
              "2026-12-09T15:40:01.123+00:00,0.000,\"Temp \"\"K\"\", 2\",\"1,5\",°C,"
              "\"line\nbreak\r\"\n");
}

TEST_F(ReadingsRecorderTest, OverloadsAreWordsNotNumbers) {
    ZoneGuard zone("UTC0");
    ReadingsRecorder recorder;
    ASSERT_TRUE(recorder.Start(m_file, nullptr, kStart));
    for (const char* value : {"+9.90000000E+37", "9.9e37", "-9.90000000E+37", " -1E+38", "Overload",
                              "+9.80000000E+37", "-9.80000000E+37"}) {
        recorder.Record(Reading(seconds(0), value));
    }
    ASSERT_TRUE(recorder.Stop());
    const std::string start = "2026-12-09T15:40:01.123+00:00,0.000,DC Voltage,";
    EXPECT_EQ(Body(), start + "OVERLOAD,V,10 V\n" + start + "OVERLOAD,V,10 V\n" + start +
                          "-OVERLOAD,V,10 V\n" + start + "-OVERLOAD,V,10 V\n" + start +
                          "OVERLOAD,V,10 V\n" + start + "+9.80000000E+37,V,10 V\n" + start +
                          "-9.80000000E+37,V,10 V\n");
}

TEST_F(ReadingsRecorderTest, SecondsUseAPointUnderACommaDecimalLocale) {
    std::string oldLocale = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    ZoneGuard zone("UTC0");
    ReadingsRecorder recorder;
    bool started = recorder.Start(m_file, nullptr, kStart);
    recorder.Record(Reading(milliseconds(1500)));
    recorder.Record(Reading(milliseconds(-250)));
    recorder.Stop();
    std::setlocale(LC_ALL, oldLocale.c_str());
    ASSERT_TRUE(started);
    const std::string start = "2026-12-09T15:40:01.123+00:00,";
    EXPECT_EQ(Body(), start + "1.500,DC Voltage,+1.23456789E+00,V,10 V\n" + start +
                          "-0.250,DC Voltage,+1.23456789E+00,V,10 V\n");
}

TEST_F(ReadingsRecorderTest, LinesGoOutOnceTheOldestIsASecondOld) {
    ReadingsRecorder recorder;
    ASSERT_TRUE(recorder.Start(m_file, nullptr, kStart));
    const uint64_t header = kHeader.size();
    EXPECT_EQ(recorder.BytesWritten(), header);

    recorder.Record(Reading(seconds(10)));
    const uint64_t line = recorder.BufferedBytes();
    recorder.Record(Reading(seconds(10) + milliseconds(500)));
    recorder.Record(Reading(seconds(10) + milliseconds(999)));
    EXPECT_EQ(recorder.BytesWritten(), header);
    EXPECT_EQ(fs::file_size(m_file), header);
    EXPECT_EQ(recorder.BufferedBytes(), 3 * line);

    // The oldest buffered line is now a second old: all four go out in one.
    recorder.Record(Reading(seconds(11)));
    EXPECT_EQ(recorder.BytesWritten(), header + 4 * line);
    EXPECT_EQ(fs::file_size(m_file), header + 4 * line);
    EXPECT_EQ(recorder.BufferedBytes(), 0u);

    // The second counts from the first line buffered after that.
    recorder.Record(Reading(seconds(11) + milliseconds(600)));
    recorder.Record(Reading(seconds(12) + milliseconds(599)));
    EXPECT_EQ(fs::file_size(m_file), header + 4 * line);
    recorder.Record(Reading(seconds(12) + milliseconds(600)));
    EXPECT_EQ(fs::file_size(m_file), header + 7 * line);

    // Flush writes at once; Stop writes the rest.
    recorder.Record(Reading(seconds(13)));
    EXPECT_EQ(fs::file_size(m_file), header + 7 * line);
    EXPECT_TRUE(recorder.Flush());
    EXPECT_EQ(fs::file_size(m_file), header + 8 * line);
    recorder.Record(Reading(seconds(13) + milliseconds(1)));
    EXPECT_EQ(fs::file_size(m_file), header + 8 * line);
    EXPECT_TRUE(recorder.Stop());
    EXPECT_EQ(fs::file_size(m_file), header + 9 * line);
    EXPECT_EQ(recorder.LinesRecorded(), 9u);
    EXPECT_EQ(recorder.BytesWritten(), header + 9 * line);

    // Nothing is recorded after Stop.
    recorder.Record(Reading(seconds(20)));
    EXPECT_FALSE(recorder.Flush());
    EXPECT_EQ(fs::file_size(m_file), header + 9 * line);
}

TEST_F(ReadingsRecorderTest, AFullDiskStopsTheRecordingWithWholeLinesKept) {
    ReadingsRecorder recorder;
    ASSERT_TRUE(recorder.Start(m_file, nullptr, kStart));
    recorder.Record(Reading(seconds(0)));
    const size_t line = recorder.BufferedBytes();
    ASSERT_TRUE(recorder.Flush());

    // Room for the lines so far and two and a half more.
    const rlim_t limit = kHeader.size() + line * 3 + line / 2;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = limit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    for (int i = 1; i <= 5; ++i) {
        recorder.Record(Reading(milliseconds(i)));
    }
    bool flushed = recorder.Flush();
    bool recordingAfter = recorder.IsRecording();
    recorder.Record(Reading(milliseconds(10)));
    bool flushedAgain = recorder.Flush();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(flushed);
    EXPECT_FALSE(recordingAfter);
    EXPECT_FALSE(flushedAgain);
    EXPECT_FALSE(recorder.IsRecording());
    std::string text = ReadFile(m_file);
    EXPECT_EQ(text.size(), kHeader.size() + 3 * line);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_EQ(recorder.BytesWritten(), text.size());
    EXPECT_EQ(recorder.LinesRecorded(), 3u);
    EXPECT_NE(recorder.Error().find(m_file.string()), std::string::npos) << recorder.Error();
    EXPECT_NE(recorder.Error().find(std::strerror(EFBIG)), std::string::npos) << recorder.Error();
    EXPECT_FALSE(recorder.Stop());
}

TEST_F(ReadingsRecorderTest, UnwritablePlacesFailToStartWithAReason) {
    fs::path plainFile = m_dir / "plain";
    ASSERT_EQ(ReadFile(plainFile), "(missing)");
    {
        std::FILE* f = std::fopen(plainFile.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    struct Case {
        fs::path path;
        int errorNumber;
    };
    const Case cases[] = {
        {m_dir / "gone" / "log.csv", ENOENT},
        {m_dir, EISDIR},
        {plainFile / "log.csv", ENOTDIR},
    };
    for (const Case& c : cases) {
        ReadingsRecorder recorder;
        std::string error;
        EXPECT_FALSE(recorder.Start(c.path, &error, kStart)) << c.path;
        EXPECT_FALSE(recorder.IsRecording());
        EXPECT_EQ(error, recorder.Error());
        EXPECT_EQ(error, "Could not create " + c.path.string() + ": " +
                             std::strerror(c.errorNumber) + ".");
        recorder.Record(Reading(seconds(0)));
        EXPECT_EQ(recorder.LinesRecorded(), 0u);
    }
    // A folder without write permission (which the superuser ignores).
    if (geteuid() != 0) {
        fs::path locked = m_dir / "locked";
        fs::create_directory(locked);
        chmod(locked.c_str(), 0500);
        ReadingsRecorder recorder;
        std::string error;
        EXPECT_FALSE(recorder.Start(locked / "log.csv", &error, kStart));
        EXPECT_NE(error.find(std::strerror(EACCES)), std::string::npos) << error;
        chmod(locked.c_str(), 0700);
    }
}

TEST_F(ReadingsRecorderTest, ManyReadingsKeepTheBufferBounded) {
    constexpr int kCount = 200000;
    ReadingsRecorder recorder;
    ASSERT_TRUE(recorder.Start(m_file, nullptr, kStart));
    size_t largest = 0;
    for (int i = 0; i < kCount; ++i) {
        // All in the same millisecond: only the size cap sends lines out.
        recorder.Record(Reading(seconds(1)));
        largest = std::max(largest, recorder.BufferCapacity());
    }
    EXPECT_LE(largest, ReadingsRecorder::kBufferCap);
    EXPECT_LE(recorder.BufferedBytes(), ReadingsRecorder::kBufferCap);
    EXPECT_GT(recorder.BytesWritten(), 10 * ReadingsRecorder::kBufferCap);
    ASSERT_TRUE(recorder.Stop());
    std::string text = ReadFile(m_file);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kCount + 1);
    EXPECT_EQ(recorder.LinesRecorded(), static_cast<uint64_t>(kCount));
    EXPECT_EQ(recorder.BytesWritten(), text.size());
}

}  // namespace
}  // namespace kvt::test
