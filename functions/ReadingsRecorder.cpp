#include "functions/ReadingsRecorder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include "link/ReadingReply.h"

namespace kvt::functions {

namespace {

// Lines end with a line feed alone, which RFC 4180 readers accept; the
// header names the columns in the order every line fills them.
constexpr std::string_view kHeader = "time,seconds,function,value,unit,range\n";

// The overload value column: a word, so that no program reading the file
// takes the meter's stand-in number for a measurement.
constexpr std::string_view kOverloadWord = "OVERLOAD";
constexpr std::string_view kNegativeOverloadWord = "-OVERLOAD";

// Seconds with three decimals and a point, built from whole milliseconds
// so that no locale can change the separator.
void AppendSeconds(std::string& line, std::chrono::steady_clock::duration elapsed) {
    auto ms = std::chrono::round<std::chrono::milliseconds>(elapsed).count();
    char text[32];
    std::snprintf(text, sizeof text, "%s%lld.%03lld", ms < 0 ? "-" : "",
                  static_cast<long long>(ms < 0 ? -(ms / 1000) : ms / 1000),
                  static_cast<long long>(ms < 0 ? -(ms % 1000) : ms % 1000));
    line += text;
}

void AppendValue(std::string& line, const std::string& value) {
    if (value == link::kOverloadText || link::IsOverload(value)) {
        size_t first = value.find_first_not_of(" \t");
        bool negative = first != std::string::npos && value[first] == '-';
        line += negative ? kNegativeOverloadWord : kOverloadWord;
        return;
    }
    AppendCsvField(line, value);
}

}  // namespace

std::string FormatLocalTime(std::chrono::system_clock::time_point moment) {
    auto sinceEpoch = std::chrono::floor<std::chrono::milliseconds>(moment.time_since_epoch());
    auto seconds = std::chrono::floor<std::chrono::seconds>(sinceEpoch);
    auto millis = (sinceEpoch - seconds).count();
    std::time_t whole = static_cast<std::time_t>(seconds.count());
    std::tm local{};
    if (localtime_r(&whole, &local) == nullptr) {
        return {};
    }
    long offset = local.tm_gmtoff;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) {
        offset = -offset;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>(millis), sign, offset / 3600,
                  (offset % 3600) / 60);
    return text;
}

void AppendCsvField(std::string& line, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        line += field;
        return;
    }
    line += '"';
    for (char c : field) {
        if (c == '"') {
            line += '"';
        }
        line += c;
    }
    line += '"';
}

ReadingsRecorder::ReadingsRecorder() = default;

ReadingsRecorder::~ReadingsRecorder() {
    Stop();
}

bool ReadingsRecorder::Start(const std::string& path, std::string* error,
                             std::chrono::steady_clock::time_point start) {
    Stop();
    m_path = path;
    m_start = start;
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return Begin(m_fd < 0 ? errno : 0, error);
}

bool ReadingsRecorder::StartOnDescriptor(int fd, const std::string& name, std::string* error,
                                         std::chrono::steady_clock::time_point start) {
    Stop();
    m_path = name;
    m_start = start;
    m_fd = fd;
    return Begin(fd < 0 ? EBADF : 0, error);
}

bool ReadingsRecorder::Begin(int openError, std::string* error) {
    m_error.clear();
    m_buffer.clear();
    m_linesRecorded = 0;
    m_bytesWritten = 0;
    if (openError != 0) {
        m_fd = -1;
        m_error = "Could not create " + m_path + ": " + std::strerror(openError) + ".";
    } else if (!WriteText(std::string(kHeader))) {
        // WriteText has closed the file and said why.
    } else {
        m_buffer.reserve(kBufferCap);
        return true;
    }
    if (error != nullptr) {
        *error = m_error;
    }
    return false;
}

void ReadingsRecorder::Record(const RecordedReading& reading) {
    if (!IsRecording()) {
        return;
    }
    m_line.clear();
    m_line += FormatLocalTime(reading.wallTime);
    m_line += ',';
    AppendSeconds(m_line, reading.steadyTime - m_start);
    m_line += ',';
    AppendCsvField(m_line, reading.function);
    m_line += ',';
    AppendValue(m_line, reading.value);
    m_line += ',';
    AppendCsvField(m_line, reading.unit);
    m_line += ',';
    AppendCsvField(m_line, reading.range);
    m_line += '\n';
    ++m_linesRecorded;

    // A full buffer goes out before the line that would overflow it; a line
    // longer than the whole buffer goes out on its own.
    if (!m_buffer.empty() && m_buffer.size() + m_line.size() > kBufferCap && !WriteOut()) {
        return;
    }
    if (m_line.size() > kBufferCap) {
        WriteText(m_line);
        return;
    }
    if (m_buffer.empty()) {
        m_oldestBuffered = reading.steadyTime;
    }
    m_buffer += m_line;
    if (reading.steadyTime - m_oldestBuffered >= kWriteInterval) {
        WriteOut();
    }
}

bool ReadingsRecorder::Flush() {
    return IsRecording() && WriteOut();
}

bool ReadingsRecorder::Sync() {
    if (!IsRecording()) {
        return false;
    }
    if (::fdatasync(m_fd) != 0 && errno != EINVAL && errno != EROFS) {
        Fail("the disk did not take the last lines", errno);
        return false;
    }
    // A file deleted while open (or whose folder was removed) still takes
    // every write, into space that is freed when it is closed: nothing
    // would be kept, so the recording stops and says so.
    struct stat about {};
    if (::fstat(m_fd, &about) == 0 && S_ISREG(about.st_mode) && about.st_nlink == 0) {
        Fail("the file was deleted, or its folder removed", ENOENT);
        return false;
    }
    return true;
}

bool ReadingsRecorder::Stop() {
    if (!IsRecording()) {
        return false;
    }
    if (!WriteOut()) {
        return false;
    }
    int result = ::close(m_fd);
    m_fd = -1;
    if (result != 0) {
        int errorNumber = errno;
        m_error = "Recording to " + m_path + " may have lost readings: closing the file failed: " +
                  std::strerror(errorNumber) + ".";
        return false;
    }
    return true;
}

bool ReadingsRecorder::WriteOut() {
    if (m_buffer.empty()) {
        return true;
    }
    bool written = WriteText(m_buffer);
    m_buffer.clear();
    return written;
}

// Writes text, which holds whole lines, at the end of the file: in one
// write() unless the system takes less. When the rest cannot be written,
// the file is cut back to the last whole line and the recording stops.
bool ReadingsRecorder::WriteText(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            // A write that takes nothing without an error leaves no other
            // reason to give than a full device.
            int errorNumber = n < 0 ? errno : ENOSPC;
            size_t lastLineEnd = text.rfind('\n', done == 0 ? 0 : done - 1);
            size_t whole = (done == 0 || lastLineEnd == std::string::npos) ? 0 : lastLineEnd + 1;
            m_bytesWritten += whole;
            // Lines that did not reach the file whole are not recorded.
            uint64_t lost = static_cast<uint64_t>(
                std::count(text.begin() + static_cast<std::ptrdiff_t>(whole), text.end(), '\n'));
            m_linesRecorded -= std::min(m_linesRecorded, lost);
            std::string what = "writing failed";
            if (whole != done && ::ftruncate(m_fd, static_cast<off_t>(m_bytesWritten)) != 0) {
                what += " and the last line could not be cut off (" +
                        std::string(std::strerror(errno)) + ")";
            }
            Fail(what, errorNumber);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    m_bytesWritten += done;
    return true;
}

void ReadingsRecorder::Fail(const std::string& what, int errorNumber) {
    m_error =
        "Recording to " + m_path + " stopped: " + what + ": " + std::strerror(errorNumber) + ".";
    Close();
}

void ReadingsRecorder::Close() {
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_buffer.clear();
}

}  // namespace kvt::functions
