// The saved-readings file: its bytes, and saves that fail.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <stdlib.h>
#include <sys/resource.h>

#include "functions/ReadingsFile.h"
#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
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

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

class ReadingsFile : public FunctionsFixture {
protected:
    void SetUp() override {
        FunctionsFixture::SetUp();
        std::string pattern = fs::temp_directory_path() / "kvt-readings-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        fs::remove_all(dir_);
        FunctionsFixture::TearDown();
    }
    // Files in the directory other than the ones named.
    std::vector<std::string> Entries() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }

    fs::path dir_;
};

TEST_F(ReadingsFile, OneLinePerValueOldestFirst) {
    for (double v : {1.5, -0.000123, 12.0, 0.0, -2.5e-13}) {
        dcv_->PushHistory(v);
    }
    fs::path path = dir_ / "readings.csv";
    std::string error;
    ASSERT_TRUE(dcv_->SaveHistory(path, &error)) << error;
    EXPECT_EQ(ReadFile(path),
              "1.500000000000,\r\n-0.000123000000,\r\n12.000000000000,\r\n"
              "0.000000000000,\r\n-0.000000000000,\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"readings.csv"});
    // Saving does not clear the history.
    EXPECT_EQ(dcv_->HistorySnapshot().size(), 5u);
}

TEST_F(ReadingsFile, OverloadAndLargeValuesAreWrittenInFull) {
    std::string text;
    functions::AppendReadingLine(text, 9.9e37);
    char digits[64];
    std::snprintf(digits, sizeof digits, "%.0f", 9.9e37);
    EXPECT_EQ(text, std::string(digits) + ".000000000000,\r\n");
    EXPECT_EQ(text.size(), 38u + 13u + 3u);

    text.clear();
    functions::AppendReadingLine(text, -1e19);
    EXPECT_EQ(text, "-10000000000000000000.000000000000,\r\n");
    text.clear();
    functions::AppendReadingLine(text, -HUGE_VAL);
    EXPECT_EQ(text, "-" + std::string(digits) + ".000000000000,\r\n");
}

TEST_F(ReadingsFile, EmptyHistoryGivesEmptyFileAndReplacesTheOld) {
    fs::path path = dir_ / "readings.csv";
    WriteFile(path, "old contents that are longer\r\n");
    ASSERT_TRUE(dcv_->SaveHistory(path));
    EXPECT_EQ(ReadFile(path), "");
    dcv_->PushHistory(2);
    ASSERT_TRUE(dcv_->SaveHistory(path));
    EXPECT_EQ(ReadFile(path), "2.000000000000,\r\n");
}

TEST_F(ReadingsFile, UnwritablePlacesFailWithAReason) {
    dcv_->PushHistory(1);
    std::string error;
    EXPECT_FALSE(dcv_->SaveHistory(dir_ / "missing" / "readings.csv", &error));
    EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;

    // A directory in the way stays as it was, and no temporary file remains.
    fs::create_directory(dir_ / "taken");
    WriteFile(dir_ / "taken" / "inside", "x");
    error.clear();
    EXPECT_FALSE(dcv_->SaveHistory(dir_ / "taken", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(dir_ / "taken" / "inside"), "x");
    EXPECT_EQ(Entries(), std::vector<std::string>{"taken"});
}

TEST_F(ReadingsFile, FailedWriteLeavesTheOldFileIntact) {
    fs::path path = dir_ / "readings.csv";
    WriteFile(path, "1.000000000000,\r\n");
    for (int i = 0; i < 1000; ++i) {
        dcv_->PushHistory(i);
    }
    // The file size limit makes the write fail half-way.
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    bool saved = dcv_->SaveHistory(path, &error);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
    EXPECT_EQ(ReadFile(path), "1.000000000000,\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"readings.csv"});
}

}  // namespace
}  // namespace kvt::test
