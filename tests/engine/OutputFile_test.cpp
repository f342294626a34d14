// Output files replaced whole: exact bytes, permissions kept, symbolic links followed, and every failure a
// clear error that leaves the old file as it was and no temporary file behind.
#include "engine/OutputFile.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder = fs::path(BREVANT_TEST_WORK_DIR) / "OutputFile_test";
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override { fs::remove_all(folder); }

    static std::string Read(const fs::path& path) { return brevant::testing::ReadWhole(path); }
    static void Write(const fs::path& path, const std::string& text) { brevant::testing::WriteWhole(path, text); }
    std::size_t EntriesInFolder() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }

    fs::path folder;
};

TEST_F(OutputFileTest, WritesExactBytesAndReplacesAnOldFileWhole) {
    const fs::path target = folder / "out.dat";
    brevant::WriteFileWhole(target.string(), " 1 \r\n 2 \r\n");
    EXPECT_EQ(Read(target), " 1 \r\n 2 \r\n");

    brevant::WriteFileWhole(target.string(), "-3 \r\n");  // shorter: nothing of the old text remains
    EXPECT_EQ(Read(target), "-3 \r\n");
    EXPECT_EQ(EntriesInFolder(), 1u) << "a temporary file was left behind";

    brevant::WriteFileWhole(target.string(), "");
    EXPECT_EQ(fs::file_size(target), 0u);
}

TEST_F(OutputFileTest, KeepsTheOldFilesPermissionsAndFollowsSymbolicLinks) {
    const fs::path target = folder / "kept.dat";
    Write(target, "old");
    ::chmod(target.c_str(), 0640);
    brevant::WriteFileWhole(target.string(), "new");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);

    const fs::path link = folder / "link.dat";
    fs::create_symlink(target.filename(), link);
    brevant::WriteFileWhole(link.string(), "through the link");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(target), "through the link");
}

TEST_F(OutputFileTest, FailuresAreClearErrorsThatLeaveEverythingAsItWas) {
    // A folder that does not exist.
    const fs::path missing = folder / "no such folder" / "out.dat";
    try {
        brevant::WriteFileWhole(missing.string(), "x");
        FAIL() << "no error for a missing folder";
    } catch (const brevant::OutputFileError& e) {
        EXPECT_NE(std::string(e.what()).find(missing.string()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("does not exist"), std::string::npos) << e.what();
    }
    // A name that belongs to a folder: the folder stays.
    const fs::path sub = folder / "sub";
    fs::create_directory(sub);
    Write(sub / "inside.txt", "kept");
    EXPECT_THROW(brevant::WriteFileWhole(sub.string(), "x"), brevant::OutputFileError);
    EXPECT_EQ(Read(sub / "inside.txt"), "kept");
    // No name at all.
    EXPECT_THROW(brevant::WriteFileWhole("", "x"), brevant::OutputFileError);
    EXPECT_EQ(EntriesInFolder(), 1u);
}

// A name close to the file-name length limit (255 bytes) is written like any other.
TEST_F(OutputFileTest, ANameNearTheLengthLimitIsWritten) {
    const fs::path target = folder / (std::string(251, 'n') + ".dat");
    Write(target, "old");
    brevant::WriteFileWhole(target.string(), "new\r\n");
    EXPECT_EQ(Read(target), "new\r\n");
    EXPECT_EQ(EntriesInFolder(), 1u);
}

TEST_F(OutputFileTest, AWriteThatFailsHalfwayLeavesTheOldFileUnchanged) {
    const fs::path target = folder / "old.dat";
    Write(target, "the user's old results\r\n");

    // A file-size limit makes the write itself fail part of the way through (EFBIG instead of a signal).
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool threw = false;
    try {
        brevant::WriteFileWhole(target.string(), std::string(100000, 'x'));
    } catch (const brevant::OutputFileError&) {
        threw = true;
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_TRUE(threw);
    EXPECT_EQ(Read(target), "the user's old results\r\n");
    EXPECT_EQ(EntriesInFolder(), 1u) << "the half-written temporary file was left behind";
}

TEST(ValueLines, OneDefaultNumberTextPerLineEndedByCrLf) {
    const float values[] = {0.5f, -1.23456789f, 0.0f, -0.0f, 12345678.0f,
                            std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    EXPECT_EQ(brevant::ValueLines(values),
              " 0.5 \r\n-1.234568 \r\n 0 \r\n 0 \r\n 1.234568E+07 \r\n inf \r\n nan \r\n");
    EXPECT_EQ(brevant::ValueLines({}), "");
}

}  // namespace
