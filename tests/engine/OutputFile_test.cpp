// Output files replaced whole: exact bytes, permissions kept, symbolic links followed, and every failure a
// clear error that leaves the old file as it was and no temporary file behind.
#include "engine/OutputFile.h"
#include "support/Files.h"
#include "support/Unprivileged.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include <thread>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace BREVANT_TEST_UNIT {

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


// The message of the OutputFileError that f throws; empty when none is thrown.
template <typename F>
std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const brevant::OutputFileError& e) {
        return e.what();
    }
    return {};
}

// What is not a regular file is written into, never replaced: a pipe, a device, a link to a device, an
// open stream of this process.
TEST_F(OutputFileTest, PipesDevicesAndStreamsAreWrittenIntoNotReplaced) {
    const fs::path fifo = folder / "values.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] { received = Read(fifo); });
    brevant::WriteFileWhole(fifo.string(), " 1 \r\n 2 \r\n");
    reader.join();
    EXPECT_EQ(received, " 1 \r\n 2 \r\n");
    EXPECT_TRUE(fs::is_fifo(fifo));

    const fs::path toNull = folder / "null.dat";
    fs::create_symlink("/dev/null", toNull);
    brevant::WriteFileWhole("/dev/null", "x");
    brevant::WriteFileWhole(toNull.string(), "x");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_symlink(toNull));
    EXPECT_NO_THROW(brevant::CheckOutputFile("/dev/null", ""));

    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string stream = "/dev/fd/" + std::to_string(ends[1]);
    EXPECT_NO_THROW(brevant::CheckOutputFile(stream, ""));
    brevant::WriteFileWhole(stream, "through the stream");
    ::close(ends[1]);
    char buffer[64] = {};
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(::read(ends[0], buffer, sizeof buffer))), "through the stream");
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile("/dev/fd/" + std::to_string(ends[0]), ""); })
                  .find("that stream is not open for writing"),
              std::string::npos);
    ::close(ends[0]);
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile(stream, ""); }).find("that stream is not open"), std::string::npos);
    EXPECT_EQ(EntriesInFolder(), 2u);  // the pipe and the link, nothing beside them
}

// A dangling link creates the file it names (relative to the link's folder); a chain of links is followed;
// a circle of links is refused.
TEST_F(OutputFileTest, LinksAreFollowedToTheFileTheyName) {
    fs::create_directory(folder / "sub");
    fs::create_symlink("sub/new.dat", folder / "dangling.dat");
    fs::create_symlink("dangling.dat", folder / "chain.dat");
    EXPECT_NO_THROW(brevant::CheckOutputFile((folder / "chain.dat").string(), ""));
    brevant::WriteFileWhole((folder / "chain.dat").string(), "new\r\n");
    EXPECT_TRUE(fs::is_symlink(folder / "dangling.dat"));
    EXPECT_TRUE(fs::is_symlink(folder / "chain.dat"));
    EXPECT_EQ(Read(folder / "sub" / "new.dat"), "new\r\n");

    fs::create_symlink("missing-folder/x.dat", folder / "nowhere.dat");
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile((folder / "nowhere.dat").string(), ""); }).find("does not exist"),
              std::string::npos);

    fs::create_symlink("loop-b.dat", folder / "loop-a.dat");
    fs::create_symlink("loop-a.dat", folder / "loop-b.dat");
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile((folder / "loop-a.dat").string(), ""); }).find("circle"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { brevant::WriteFileWhole((folder / "loop-a.dat").string(), "x"); }).find("circle"),
              std::string::npos);
}

// Every check that can be made before a run, with the message the window and the batch tool show.
TEST_F(OutputFileTest, ChecksBeforeTheRunNameTheProblem) {
    const std::string data = (folder / "data.dat").string();
    Write(data, "2 1 2");
    EXPECT_NO_THROW(brevant::CheckOutputFile("", data));
    EXPECT_NO_THROW(brevant::CheckOutputFile((folder / "new.dat").string(), data));
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile(data, data); }).find("is the data file itself"), std::string::npos);
    fs::create_hard_link(data, folder / "hard.dat");
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile((folder / "hard.dat").string(), data); }).find("data file itself"),
              std::string::npos);

    const std::string missing = (folder / "none" / "out.dat").string();
    EXPECT_EQ(ErrorOf([&] { brevant::CheckOutputFile(missing, data); }),
              "The output file \"" + missing + "\" cannot be written: its folder \"" + (folder / "none").string() +
                  "\" does not exist. Choose another output file.");
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile(folder.string(), data); }).find("it is a folder"), std::string::npos);
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile(data + "/x.dat", ""); }).find("is not a folder"), std::string::npos);
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile((folder / "none" / "a\x1B[2Jb\xFF").string(), ""); })
                  .find("/a?[2Jb?\" cannot be written"),
              std::string::npos);
    EXPECT_NE(ErrorOf([&] { brevant::CheckOutputFile(missing, "", "histogram file"); })
                  .find("The histogram file \"" + missing + "\" cannot be written"),
              std::string::npos);
}

// Run as an unprivileged user: a file that user may not write, in a folder that user may write, is refused
// before the run and at the write, and stays as it was; so is a new file in a folder that user may not write.
TEST_F(OutputFileTest, WhatTheUserMayNotWriteIsRefused) {
    const brevant::testing::ReachableFolder reachable("OutputFile_test");
    const fs::path open = reachable / "open";
    fs::create_directory(open);
    fs::permissions(open, fs::perms::all);
    const fs::path readOnly = open / "read-only.dat";
    Write(readOnly, "kept\r\n");
    fs::permissions(readOnly, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const fs::path othersFile = open / "others.dat";  // root's 644 file when the test runs as root
    Write(othersFile, "kept\r\n");
    fs::permissions(othersFile, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                    fs::perms::others_read);
    const fs::path closed = reachable / "closed";
    fs::create_directory(closed);
    fs::permissions(closed, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);

    const std::string complaint = brevant::testing::AsUnprivileged([&]() -> std::string {
        std::vector<fs::path> refused = {readOnly, closed / "new.dat"};
        if (::geteuid() != 0 && fs::status(othersFile).permissions() != fs::perms::none) refused.push_back(othersFile);
        for (const fs::path& p : refused) {
            const std::string before = ErrorOf([&] { brevant::CheckOutputFile(p.string(), ""); });
            if (before.find("cannot be written") == std::string::npos) return "no refusal before the run: " + p.string();
            const std::string at = ErrorOf([&] { brevant::WriteFileWhole(p.string(), "new\r\n"); });
            if (at.empty()) return "written anyway: " + p.string();
        }
        // What the user may write is still written, and the new file is the user's.
        brevant::WriteFileWhole((open / "mine.dat").string(), "mine\r\n");
        return {};
    });
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(Read(readOnly), "kept\r\n");
    EXPECT_EQ(Read(othersFile), "kept\r\n");
    EXPECT_FALSE(fs::exists(closed / "new.dat"));
    EXPECT_EQ(Read(open / "mine.dat"), "mine\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(open), fs::directory_iterator()), 3) << "a temporary file was left";
}

// Another user's file that anyone may write, in a folder anyone may write (777) or a sticky one (1777, as
// /tmp): replacing it would give it to this user, or the rename over it would fail once the run is over. It
// is refused before the run and at the write and stays as it was; this user's own file there is replaced,
// and another user's pipe is still written into.
TEST_F(OutputFileTest, AnotherUsersFileInAFolderAnyoneMayWriteIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "the other user's file is made by root";
    const brevant::testing::ReachableFolder reachable("OutputFile_test");
    for (const fs::perms mode : {fs::perms::all, fs::perms::all | fs::perms::sticky_bit}) {
        const fs::path open = reachable / (mode == fs::perms::all ? "open" : "sticky");
        SCOPED_TRACE(open.string());
        fs::create_directory(open);
        fs::permissions(open, mode);
        const fs::path theirs = open / "theirs.dat";
        Write(theirs, "kept\r\n");
        fs::permissions(theirs, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                    fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
        const fs::path theirPipe = open / "theirs.fifo";
        ASSERT_EQ(::mkfifo(theirPipe.c_str(), 0666), 0);
        ::chmod(theirPipe.c_str(), 0666);

        const std::string complaint = brevant::testing::AsUnprivileged([&]() -> std::string {
            const std::string before = ErrorOf([&] { brevant::CheckOutputFile(theirs.string(), ""); });
            if (before.find("cannot be written: it belongs to another user") == std::string::npos) {
                return "before the run: \"" + before + "\"";
            }
            const std::string at = ErrorOf([&] { brevant::WriteFileWhole(theirs.string(), "new\r\n"); });
            if (at.find("it belongs to another user") == std::string::npos) return "at the write: \"" + at + "\"";
            const std::string pipe = ErrorOf([&] { brevant::CheckOutputFile(theirPipe.string(), ""); });
            if (!pipe.empty()) return "the pipe: " + pipe;
            const fs::path mine = open / "mine.dat";
            for (const std::string text : {"first\r\n", "second\r\n"}) {
                const std::string error = ErrorOf([&] {
                    brevant::CheckOutputFile(mine.string(), "");
                    brevant::WriteFileWhole(mine.string(), text);
                });
                if (!error.empty()) return "own file: " + error;
            }
            return Read(mine) == "second\r\n" ? "" : "own file not replaced";
        });
        EXPECT_EQ(complaint, "");
        EXPECT_EQ(Read(theirs), "kept\r\n");
        struct stat info {};
        ASSERT_EQ(::stat(theirs.c_str(), &info), 0);
        EXPECT_EQ(info.st_uid, 0u);
        EXPECT_EQ(info.st_mode & 07777, 0666u);
        EXPECT_EQ(std::distance(fs::directory_iterator(open), fs::directory_iterator()), 3)
            << "a temporary file was left";
    }
}

// Root replacing another user's file keeps its owner as well as its permission bits.
TEST_F(OutputFileTest, AReplacedFileKeepsItsOwner) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root may give a file to another user";
    const fs::path theirs = folder / "theirs.dat";
    Write(theirs, "old");
    ASSERT_EQ(::chown(theirs.c_str(), brevant::testing::kNobody, brevant::testing::kNobody), 0);
    ::chmod(theirs.c_str(), 0604);
    brevant::WriteFileWhole(theirs.string(), "new");
    struct stat info {};
    ASSERT_EQ(::stat(theirs.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, brevant::testing::kNobody);
    EXPECT_EQ(info.st_gid, brevant::testing::kNobody);
    EXPECT_EQ(info.st_mode & 0777, 0604u);
    EXPECT_EQ(Read(theirs), "new");
}

// An interrupt while a large file is written: the process ends of the signal and leaves no temporary file.
TEST_F(OutputFileTest, AnInterruptDuringTheWriteLeavesNoTemporaryFile) {
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, folder.c_str(), IN_CREATE), 0);
    const fs::path target = folder / "large.dat";
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        brevant::RemoveTemporaryFileOnInterrupt();
        brevant::WriteFileWhole(target.string(), std::string(std::size_t{1} << 28, '7'));
        ::_exit(0);
    }
    char event[sizeof(inotify_event) + 256];
    ASSERT_GT(::read(watch, event, sizeof event), 0);  // the temporary file has been created
    ::close(watch);
    ::kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the write finished before the interrupt";
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(EntriesInFolder(), 0u) << "the temporary file was left behind";
}

TEST(ValueLines, OneDefaultNumberTextPerLineEndedByCrLf) {
    const float values[] = {0.5f, -1.23456789f, 0.0f, -0.0f, 12345678.0f,
                            std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    EXPECT_EQ(brevant::ValueLines(values),
              " 0.5 \r\n-1.234568 \r\n 0 \r\n 0 \r\n 1.234568E+07 \r\n inf \r\n nan \r\n");
    EXPECT_EQ(brevant::ValueLines({}), "");
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
