// The saved-readings file: its bytes, and saves that fail.
#include <gtest/gtest.h>

#include <algorithm>
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
#include <sys/stat.h>

#include "functions/ReadingsFile.h"
#include "tests/functions/FileText.h"
#include "tests/functions/FunctionsFixture.h"

namespace kvt::test {
namespace {

namespace fs = std::filesystem;

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
        m_dir = pattern;
    }
    void TearDown() override {
        fs::remove_all(m_dir);
        FunctionsFixture::TearDown();
    }
    // Files in the directory other than the ones named.
    std::vector<std::string> Entries() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir)) {
            names.push_back(entry.path().filename());
        }
        return names;
    }

    fs::path m_dir;
};

TEST_F(ReadingsFile, OneLinePerValueOldestFirst) {
    for (double v : {1.5, -0.000123, 12.0, 0.0, -2.5e-13}) {
        m_dcv->PushHistory(v);
    }
    fs::path path = m_dir / "readings.csv";
    std::string error;
    ASSERT_TRUE(m_dcv->SaveHistory(path, &error)) << error;
    EXPECT_EQ(ReadFile(path),
              "1.500000000000,\r\n-0.000123000000,\r\n12.000000000000,\r\n"
              "0.000000000000,\r\n-0.000000000000,\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"readings.csv"});
    // Saving does not clear the history.
    EXPECT_EQ(m_dcv->HistorySnapshot().size(), 5u);
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
    fs::path path = m_dir / "readings.csv";
    WriteFile(path, "old contents that are longer\r\n");
    ASSERT_TRUE(m_dcv->SaveHistory(path));
    EXPECT_EQ(ReadFile(path), "");
    m_dcv->PushHistory(2);
    ASSERT_TRUE(m_dcv->SaveHistory(path));
    EXPECT_EQ(ReadFile(path), "2.000000000000,\r\n");
}

TEST_F(ReadingsFile, LinksStayLinksAndTheirTargetGetsTheReadings) {
    m_dcv->PushHistory(4.25);
    const std::string saved = "4.250000000000,\r\n";
    fs::create_directory(m_dir / "data");
    struct Case {
        const char* what;
        std::vector<std::pair<fs::path, fs::path>> links;  // link, what it names
        fs::path saveAt;
        fs::path target;
        bool targetExists;
    };
    const Case cases[] = {
        {"relative link",
         {{m_dir / "a.csv", "data/a-target.csv"}},
         m_dir / "a.csv",
         m_dir / "data" / "a-target.csv",
         true},
        {"absolute link",
         {{m_dir / "b.csv", m_dir / "data" / "b-target.csv"}},
         m_dir / "b.csv",
         m_dir / "data" / "b-target.csv",
         true},
        // A link to a link to the file; the second one relative to its own folder.
        {"chain of links",
         {{m_dir / "c.csv", "data/c-middle.csv"},
          {m_dir / "data" / "c-middle.csv", "c-target.csv"}},
         m_dir / "c.csv",
         m_dir / "data" / "c-target.csv",
         true},
        {"link to no file yet",
         {{m_dir / "d.csv", "data/d-target.csv"}},
         m_dir / "d.csv",
         m_dir / "data" / "d-target.csv",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.targetExists) {
            WriteFile(c.target, "old\r\n");
        }
        for (const auto& [link, names] : c.links) {
            fs::create_symlink(names, link);
        }
        std::string error;
        ASSERT_TRUE(m_dcv->SaveHistory(c.saveAt, &error)) << error;
        for (const auto& [link, names] : c.links) {
            EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link))) << link;
            EXPECT_EQ(fs::read_symlink(link), names);
        }
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(c.target)));
        EXPECT_EQ(ReadFile(c.target), saved);
    }
    // Nothing but the links and their targets: no temporary file is left.
    std::vector<std::string> inData;
    for (const auto& entry : fs::directory_iterator(m_dir / "data")) {
        inData.push_back(entry.path().filename());
    }
    std::sort(inData.begin(), inData.end());
    EXPECT_EQ(inData, (std::vector<std::string>{"a-target.csv", "b-target.csv", "c-middle.csv",
                                                "c-target.csv", "d-target.csv"}));

    // A link that leads back to itself is refused and stays as it was.
    fs::create_symlink("loop.csv", m_dir / "loop.csv");
    std::string error;
    EXPECT_FALSE(m_dcv->SaveHistory(m_dir / "loop.csv", &error));
    EXPECT_NE(error.find(std::strerror(ELOOP)), std::string::npos) << error;
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(m_dir / "loop.csv")));
}

TEST_F(ReadingsFile, ReplacedFileKeepsItsPermissions) {
    m_dcv->PushHistory(1);
    // New files get 0644 for the check at the end, whatever the caller's mask.
    struct MaskGuard {
        mode_t old = umask(022);
        ~MaskGuard() { umask(old); }
    } mask;
    for (mode_t mode : {mode_t{0640}, mode_t{0600}, mode_t{0664}}) {
        SCOPED_TRACE(mode);
        fs::path path = m_dir / "readings.csv";
        WriteFile(path, "old\r\n");
        ASSERT_EQ(chmod(path.c_str(), mode), 0);
        ASSERT_TRUE(m_dcv->SaveHistory(path));
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
        EXPECT_EQ(ReadFile(path), "1.000000000000,\r\n");
    }
    // A file through a link: the target keeps its permissions.
    fs::path target = m_dir / "target.csv";
    WriteFile(target, "old\r\n");
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    fs::create_symlink("target.csv", m_dir / "link.csv");
    ASSERT_TRUE(m_dcv->SaveHistory(m_dir / "link.csv"));
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode_t{0640});
    // A new file gets the usual permissions of new files.
    ASSERT_TRUE(m_dcv->SaveHistory(m_dir / "new.csv"));
    ASSERT_EQ(stat((m_dir / "new.csv").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, mode_t{0644});
}

TEST_F(ReadingsFile, UnwritablePlacesFailWithAReason) {
    m_dcv->PushHistory(1);
    std::string error;
    EXPECT_FALSE(m_dcv->SaveHistory(m_dir / "missing" / "readings.csv", &error));
    EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;

    // A directory in the way stays as it was, and no temporary file remains.
    fs::create_directory(m_dir / "taken");
    WriteFile(m_dir / "taken" / "inside", "x");
    error.clear();
    EXPECT_FALSE(m_dcv->SaveHistory(m_dir / "taken", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadFile(m_dir / "taken" / "inside"), "x");
    EXPECT_EQ(Entries(), std::vector<std::string>{"taken"});
}

TEST_F(ReadingsFile, FailedWriteLeavesTheOldFileIntact) {
    fs::path path = m_dir / "readings.csv";
    WriteFile(path, "1.000000000000,\r\n");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    fs::create_symlink("readings.csv", m_dir / "link.csv");
    for (int i = 0; i < 1000; ++i) {
        m_dcv->PushHistory(i);
    }
    // Saved directly and through the link.
    for (const fs::path& saveAt : {path, m_dir / "link.csv"}) {
        SCOPED_TRACE(saveAt);
        // The file size limit makes the write fail half-way.
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit small = old;
        small.rlim_cur = 4096;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        std::string error;
        bool saved = m_dcv->SaveHistory(saveAt, &error);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        EXPECT_FALSE(saved);
        EXPECT_NE(error.find(std::strerror(EFBIG)), std::string::npos) << error;
        EXPECT_EQ(ReadFile(path), "1.000000000000,\r\n");
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode_t{0640});
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(m_dir / "link.csv")));
        std::vector<std::string> entries = Entries();
        std::sort(entries.begin(), entries.end());
        EXPECT_EQ(entries, (std::vector<std::string>{"link.csv", "readings.csv"}));
    }
}

}  // namespace
}  // namespace kvt::test
