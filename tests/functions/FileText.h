#pragma once

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

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

// A fresh folder under the temporary folder for one test, removed with all
// it holds when the object goes. Path() is empty when it could not be made.
class TempFolder {
public:
    explicit TempFolder(const std::string& prefix) {
        std::string pattern = std::filesystem::temp_directory_path() / (prefix + "-XXXXXX");
        if (mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!m_path.empty()) {
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace kvt::test
