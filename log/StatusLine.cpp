#include "log/StatusLine.h"

#include <cerrno>
#include <cstdio>

#include <unistd.h>

namespace kvt::logger {
namespace {

// Back to the start of the line and everything to its right erased.
constexpr std::string_view kClearLine = "\r\x1b[K";

// Cuts text to at most width bytes without splitting a UTF-8 character.
void CutTo(std::string& text, size_t width) {
    if (width == 0 || text.size() <= width) {
        return;
    }
    size_t end = width;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
}

}  // namespace

std::string FormatElapsed(std::chrono::steady_clock::duration elapsed) {
    long long total = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    if (total < 0) {
        total = 0;
    }
    const long long days = total / 86400;
    char text[48];
    if (days > 0) {
        std::snprintf(text, sizeof text, "%lldd %02lld:%02lld:%02lld", days, total % 86400 / 3600,
                      total % 3600 / 60, total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total % 3600 / 60,
                      total % 60);
    }
    return text;
}

std::string FormatBytes(uint64_t bytes) {
    if (bytes < 1024) {
        return std::to_string(bytes) + " B";
    }
    constexpr const char* kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes) / 1024.0;
    size_t unit = 0;
    while (value >= 1024.0 && unit + 1 < std::size(kUnits)) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, kUnits[unit]);
    return text;
}

std::string FormatStatusLine(const StatusFacts& facts, size_t width) {
    std::string line = std::to_string(facts.readings);
    line += facts.readings == 1 ? " reading" : " readings";
    const double seconds = std::chrono::duration<double>(facts.elapsed).count();
    if (seconds >= 1.0) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "  %.1f/s", static_cast<double>(facts.readings) / seconds);
        line += rate;
    }
    if (!facts.lastValue.empty()) {
        line += "  last ";
        line += facts.lastValue;
        if (!facts.unit.empty()) {
            line += ' ';
            line += facts.unit;
        }
    }
    line += "  ";
    line += FormatElapsed(facts.elapsed);
    line += "  ";
    line += FormatBytes(facts.bytes);
    if (!facts.trouble.empty()) {
        line += "  ";
        line += facts.trouble;
    }
    CutTo(line, width);
    return line;
}

void StatusLine::Draw(const std::string& text) {
    if (!m_drawing) {
        return;
    }
    std::lock_guard<std::mutex> guard(m_mutex);
    WriteAll(std::string(kClearLine) + text);
    m_shown = true;
}

void StatusLine::Message(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_mutex);
    WriteAll((m_shown ? std::string(kClearLine) : std::string()) + text + "\n");
    m_shown = false;
}

void StatusLine::Clear() {
    std::lock_guard<std::mutex> guard(m_mutex);
    if (m_shown) {
        WriteAll(std::string(kClearLine));
        m_shown = false;
    }
}

void StatusLine::WriteAll(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(m_fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // standard error gone: nothing else to tell it with
        }
        done += static_cast<size_t>(n);
    }
}

}  // namespace kvt::logger
