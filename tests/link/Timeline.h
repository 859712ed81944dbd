#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kvt::test {

// One ordered record of what the instrument saw and when the program
// paused: the messages as they arrive, "pause <ms>" for each pause and,
// where the device notes them, "read" for each reply taken. Comparing one
// list pins the order of commands and pauses, which two separate lists
// cannot. Thread-safe.
class Timeline {
public:
    void Note(std::string_view entry) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.emplace_back(entry);
    }
    void NotePause(std::chrono::milliseconds duration) {
        Note("pause " + std::to_string(duration.count()));
    }
    // The entries so far; the record starts again empty.
    std::vector<std::string> Take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return std::exchange(m_entries, {});
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_entries;
};

}  // namespace kvt::test
