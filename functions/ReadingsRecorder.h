#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kvt::functions {

// One accepted reading as the recorder writes it.
struct RecordedReading {
    // When the reading arrived, for the time column.
    std::chrono::system_clock::time_point wallTime;
    // The same moment on the steady clock, for the seconds column and for
    // deciding when buffered lines are written out.
    std::chrono::steady_clock::time_point steadyTime;
    std::string function;  // "DC Voltage"
    std::string value;     // exactly as the meter sent it: "+1.23456789E+00"
    std::string unit;      // "V"
    std::string range;     // "10 V"
};

// Records readings to a CSV file (RFC 4180, UTF-8, lines ended by a line
// feed alone) for unattended logging:
//
//   time,seconds,function,value,unit,range
//   2026-12-09T16:40:01.123+01:00,0.250,DC Voltage,+1.23456789E+00,V,10 V
//
// Lines are collected in memory and written out whole, one write() per
// batch, at least once a second and whenever the batch reaches its size
// cap, so memory stays flat however long the recording runs. A failed
// write ends the recording, keeps only whole lines in the file and leaves
// the reason in Error().
class ReadingsRecorder {
public:
    // Buffered lines are written out once the oldest is this old.
    static constexpr std::chrono::milliseconds kWriteInterval{1000};
    // ... or once they would exceed this many bytes.
    static constexpr size_t kBufferCap = 64 * 1024;

    ReadingsRecorder();
    // Stops a running recording (writing out what is buffered).
    ~ReadingsRecorder();
    ReadingsRecorder(const ReadingsRecorder&) = delete;
    ReadingsRecorder& operator=(const ReadingsRecorder&) = delete;

    // Creates (or truncates) the file at path and writes the header line.
    // The seconds column counts from start. A running recording is stopped
    // first. On failure the result is false and error (when given) and
    // Error() say why.
    bool Start(const std::string& path, std::string* error,
               std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now());
    // The same on a descriptor already open for writing (a duplicate of
    // standard output, a pipe), which the recording owns from now on and
    // closes when it stops, even when it cannot start. name stands for the
    // file in messages ("standard output").
    bool StartOnDescriptor(
        int fd, const std::string& name, std::string* error,
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now());

    // Adds one line for the reading; writes the buffered lines out when the
    // oldest of them is kWriteInterval old by the reading's steady time, or
    // when the buffer is full. Does nothing unless recording.
    void Record(const RecordedReading& reading);

    // Writes the buffered lines out now. False when the write failed (the
    // recording has then stopped) or nothing is being recorded.
    bool Flush();

    // Asks the system to put what was written on the disk, so that a
    // machine that stops loses at most what came after. Files that cannot
    // be synchronised (a pipe, a terminal) count as done. False when the
    // disk reported an error or the file has been deleted meanwhile (its
    // folder removed): the recording has then stopped.
    bool Sync();

    // Writes the buffered lines out and closes the file. False when that
    // failed; Error() then says why.
    bool Stop();

    bool IsRecording() const { return m_fd >= 0; }
    // Why the recording could not start or stopped on its own; empty when
    // all went well.
    const std::string& Error() const { return m_error; }
    const std::string& Path() const { return m_path; }
    // Lines recorded since Start: those in the file and those buffered.
    // Lines lost to a failed write are not counted.
    uint64_t LinesRecorded() const { return m_linesRecorded; }
    // Bytes in the file, header included: only whole lines are counted.
    uint64_t BytesWritten() const { return m_bytesWritten; }
    // Bytes buffered and not yet written.
    size_t BufferedBytes() const { return m_buffer.size(); }
    // Memory the buffer holds; stays at kBufferCap unless a single line is
    // longer than that.
    size_t BufferCapacity() const { return m_buffer.capacity(); }

private:
    // The header on the freshly opened m_fd, or the reason it could not be opened.
    bool Begin(int openError, std::string* error);
    bool WriteOut();
    bool WriteText(const std::string& text);
    void Fail(const std::string& what, int errorNumber);
    void Close();

    std::string m_path;
    std::string m_error;
    std::string m_buffer;
    std::string m_line;
    int m_fd = -1;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_oldestBuffered;
    uint64_t m_linesRecorded = 0;
    uint64_t m_bytesWritten = 0;
};

// The local date and time of the moment in ISO 8601 with milliseconds and
// the offset from UTC: "2026-12-09T16:40:01.123+01:00".
std::string FormatLocalTime(std::chrono::system_clock::time_point moment);

// Appends field to line as an RFC 4180 field: in double quotes, quotes
// doubled, when it holds a comma, a quote or a line break.
void AppendCsvField(std::string& line, std::string_view field);

}  // namespace kvt::functions
