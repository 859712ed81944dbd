#include "functions/ReadingsFile.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
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

// The file a save at path writes: path itself, or, when path is a symbolic
// link, the file at the end of its chain of links (which may not exist
// yet), so that the link stays a link and its target gets the readings.
// A relative link is taken from the folder the link is in.
bool ResolveLinks(const std::string& path, std::string& target, int& code) {
    // As many links as the system itself follows in one path.
    constexpr int kMaxLinks = 40;
    target = path;
    for (int followed = 0;; ++followed) {
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return true;  // a file, something else, or nothing yet: write here
        }
        if (followed == kMaxLinks) {
            code = ELOOP;
            return false;
        }
        std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        ssize_t length = readlink(target.c_str(), link.data(), link.size());
        if (length < 0) {
            code = errno;
            return false;
        }
        if (static_cast<size_t>(length) == link.size()) {
            continue;  // the link changed while being read: read it again
        }
        link.resize(static_cast<size_t>(length));
        if (link.empty() || link.front() != '/') {
            size_t slash = target.rfind('/');
            link.insert(0,
                        slash == std::string::npos ? std::string() : target.substr(0, slash + 1));
        }
        target = std::move(link);
    }
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

    std::string target;
    int code = 0;
    if (!ResolveLinks(path, target, code)) {
        SetError(error, "Cannot follow the link " + path, code);
        return false;
    }
    // A file that is replaced keeps its permissions.
    struct stat existing {};
    const bool replacing = stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

    std::string temporary = TemporaryName(target);
    int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetError(error, "Cannot create " + temporary, errno);
        return false;
    }
    bool written = true;
    if (replacing && fchmod(fd, existing.st_mode & 07777) != 0) {
        written = false;
        code = errno;
    }
    written = written && WriteAll(fd, text, code);
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
    if (rename(temporary.c_str(), target.c_str()) != 0) {
        code = errno;
        unlink(temporary.c_str());
        SetError(error, "Cannot replace " + path, code);
        return false;
    }
    return true;
}

}  // namespace kvt::functions
