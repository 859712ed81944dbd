#include "sim/CommandLog.h"

#include <cerrno>
#include <cstring>

namespace kvt::sim {
namespace {

// Printable ASCII stays as it is; line ends, tabs, backslashes and every
// other byte are written as C-style escapes so each entry stays on one line.
std::string Escape(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (byte >= 0x20 && byte < 0x7F) {
                    out += c;
                } else {
                    out += "\\x";
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0x0F];
                }
        }
    }
    return out;
}

}  // namespace

CommandLog::~CommandLog() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

bool CommandLog::Open(const std::string& path, std::string& error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    std::FILE* file = std::fopen(path.c_str(), "we");
    if (file == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
    m_file = file;
    return true;
}

void CommandLog::Command(std::string_view message) {
    WriteLine("> ", message);
}

void CommandLog::Reply(std::string_view response) {
    WriteLine("< ", response);
}

void CommandLog::WriteLine(const char* prefix, std::string_view text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file == nullptr) {
        return;
    }
    std::string line = prefix + Escape(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), m_file);
    std::fflush(m_file);
}

}  // namespace kvt::sim
