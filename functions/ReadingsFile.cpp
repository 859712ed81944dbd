#include "functions/ReadingsFile.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include "link/ReadingReply.h"

namespace kvt::functions {
namespace {

void SetError(std::string* error, const std::string& what, int code) {
    if (error != nullptr) {
        *error = what + ": " + std::strerror(code);
    }
}

// A name beside the target that no other save uses.
std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + ".saving-" + std::to_string(getpid()) + "-" + std::to_string(counter++);
}

bool WriteAll(int fd, const std::string& text, int& code) {
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t written = write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            code = errno;
            return false;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
    return true;
}

}  // namespace

void AppendReadingLine(std::string& text, double value) {
    if (!std::isfinite(value)) {
        value = std::signbit(value) && !std::isnan(value) ? -link::kOverloadLevel
                                                          : link::kOverloadLevel;
    }
    // The largest double has 309 integer digits.
    std::array<char, 400> line;
    auto [end, status] =
        std::to_chars(line.data(), line.data() + line.size(), value, std::chars_format::fixed, 12);
    (void)status;  // 400 characters hold every finite double
    text.append(line.data(), end);
    text.append(",\r\n");
}

bool WriteReadingsFile(const std::string& path, const std::vector<double>& values,
                       std::string* error) {
    std::string text;
    text.reserve(values.size() * 20);
    for (double value : values) {
        AppendReadingLine(text, value);
    }

    std::string temporary = TemporaryName(path);
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetError(error, "Cannot create " + temporary, errno);
        return false;
    }
    int code = 0;
    bool written = WriteAll(fd, text, code);
    if (written && fsync(fd) != 0) {
        written = false;
        code = errno;
    }
    if (close(fd) != 0 && written) {
        written = false;
        code = errno;
    }
    if (!written) {
        unlink(temporary.c_str());
        SetError(error, "Cannot write " + path, code);
        return false;
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        code = errno;
        unlink(temporary.c_str());
        SetError(error, "Cannot replace " + path, code);
        return false;
    }
    return true;
}

}  // namespace kvt::functions
