#pragma once

#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace kvt::sim {

// `--log FILE`: one line per command received and one per reply sent, in
// order, flushed as written. Thread-safe. Non-printable bytes are escaped.
class CommandLog {
public:
    CommandLog() = default;  // logs nothing
    ~CommandLog();
    CommandLog(const CommandLog&) = delete;
    CommandLog& operator=(const CommandLog&) = delete;

    bool Open(const std::string& path, std::string& error);
    void Command(std::string_view message);
    void Reply(std::string_view response);

private:
    void WriteLine(const char* prefix, std::string_view text);

    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
};

}  // namespace kvt::sim
