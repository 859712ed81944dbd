#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>

namespace kvt::logger {

// What the status line tells.
struct StatusFacts {
    uint64_t readings = 0;
    std::chrono::steady_clock::duration elapsed{};
    // The last value as the display shows it, and its unit; empty before
    // the first reading.
    std::string lastValue;
    std::string unit;
    uint64_t bytes = 0;
    // Set while the meter is being brought back: "meter not answering,
    // reconnecting (attempt 3)".
    std::string trouble;
};

// "1234 readings  9.9/s  last 1.23456 V  0:02:05  45.6 KiB", the trouble
// (if any) after it. At most width bytes of it (a terminal's columns; 0:
// no limit), cut between characters, never inside one.
std::string FormatStatusLine(const StatusFacts& facts, size_t width = 0);

// "0:02:05", "12:00:00", "3d 04:05:06".
std::string FormatElapsed(std::chrono::steady_clock::duration elapsed);
// "812 B", "45.6 KiB", "3.2 MiB", "1.1 GiB".
std::string FormatBytes(uint64_t bytes);

// The one line on standard error, redrawn in place on a terminal, and the
// messages printed above it. Messages may come from any thread.
class StatusLine {
public:
    // fd: where to draw (standard error); drawing: whether the line is
    // drawn at all (a terminal, not --quiet).
    StatusLine(int fd, bool drawing) : m_fd(fd), m_drawing(drawing) {}

    bool Drawing() const { return m_drawing; }
    // Replaces the line with text.
    void Draw(const std::string& text);
    // Prints text on a line of its own; the status line, if any, is
    // cleared first and drawn again at the next Draw.
    void Message(const std::string& text);
    // Clears the line for good (at the end).
    void Clear();

private:
    void WriteAll(const std::string& text);

    std::mutex m_mutex;
    int m_fd;
    bool m_drawing;
    bool m_shown = false;
};

}  // namespace kvt::logger
