#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace kvt::test {

// The whole content of the file at path, or "(missing)" when it cannot be
// opened.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::string text;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return "(missing)";
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

}  // namespace kvt::test
