#include "engine/BuildInfo.h"
#include "engine/DataFolders.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace BREVANT_TEST_UNIT {

namespace {

namespace fs = std::filesystem;
using brevant::DataEntryKind;
using brevant::DataFolderLayout;
using brevant::DataFolders;
using brevant::FindDataEntry;

// A scratch tree: an installed prefix (bin/, share/brevant/), a build tree and a source tree's help/.
class DataFoldersTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::path(BREVANT_TEST_WORK_DIR) / "DataFolders";
        fs::remove_all(root);
        fs::create_directories(root);
        root = fs::canonical(root);  // the folders found are resolved
        for (const char* folder : {"prefix/bin", "prefix/share/brevant/examples", "build/app", "build/tests",
                                   "source/help/examples", "elsewhere", "work/examples"}) {
            fs::create_directories(root / folder);
        }
        layout = {"../share/brevant", root / "build", root / "source/help"};
    }
    void TearDown() override { fs::remove_all(root); }

    void Write(const fs::path& relative) { std::ofstream(root / relative) << "text\n"; }

    fs::path root;
    DataFolderLayout layout;
};

TEST_F(DataFoldersTest, FoldersFollowWhereTheProgramRuns) {
    struct Case {
        const char* what;
        fs::path executableDir;
        std::vector<fs::path> expected;
    };
    const std::vector<Case> cases = {
        {"installed", root / "prefix/bin", {root / "prefix/share/brevant"}},
        {"installed, named with ..", root / "prefix/share/../bin", {root / "prefix/share/brevant"}},
        {"build tree", root / "build/app", {root / "build/share/brevant", root / "source/help"}},
        {"build tree, deeper", root / "build/tests", {root / "build/share/brevant", root / "source/help"}},
        {"build tree itself", root / "build", {root / "share/brevant", root / "source/help"}},
        {"elsewhere: no source tree", root / "elsewhere", {root / "share/brevant"}},
        {"a sibling whose name starts like the build tree", root / "build2", {root / "share/brevant"}},
        {"unknown program folder", fs::path(), {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DataFolders(c.executableDir, layout), c.expected) << c.what;
    }
}

TEST_F(DataFoldersTest, LinkedProgramFolderCountsWhereItLeads) {
    fs::create_directory_symlink(root / "build/app", root / "elsewhere/linked");
    const std::vector<fs::path> expected = {root / "build/share/brevant", root / "source/help"};
    EXPECT_EQ(DataFolders(root / "elsewhere/linked", layout), expected);
}

TEST_F(DataFoldersTest, LayoutWithoutBuildTreeGivesTheInstalledFolderOnly) {
    const DataFolderLayout installedOnly{"../share/brevant", fs::path(), root / "source/help"};
    EXPECT_EQ(DataFolders(root / "build/app", installedOnly), std::vector<fs::path>{root / "build/share/brevant"});
}

TEST_F(DataFoldersTest, FirstExistingEntryWinsInOrder) {
    Write("work/OnlyHere.txt");
    Write("work/Everywhere.txt");
    Write("prefix/share/brevant/Everywhere.txt");
    Write("source/help/Everywhere.txt");
    Write("prefix/share/brevant/Installed.txt");
    Write("source/help/Installed.txt");
    Write("source/help/SourceOnly.txt");
    fs::create_directory(root / "work/Installed.txt");  // a folder of that name is not the file
    Write("prefix/share/brevant/examples.txt");
    Write("work/examples/IndepT.dat");
    fs::create_directory(root / "prefix/share/brevant/Folder");
    Write("source/help/Folder");  // a file of that name is not the folder
    fs::create_symlink(root / "source/help/SourceOnly.txt", root / "prefix/share/brevant/Linked.txt");
    fs::create_symlink(root / "nowhere.txt", root / "work/Dangling.txt");
    Write("source/help/Dangling.txt");

    const std::vector<fs::path> folders = {root / "prefix/share/brevant", root / "source/help"};
    struct Case {
        std::string name;
        DataEntryKind kind;
        fs::path expected;
    };
    const std::vector<Case> cases = {
        {"OnlyHere.txt", DataEntryKind::File, root / "work/OnlyHere.txt"},
        {"Everywhere.txt", DataEntryKind::File, root / "work/Everywhere.txt"},
        {"Installed.txt", DataEntryKind::File, root / "prefix/share/brevant/Installed.txt"},
        {"SourceOnly.txt", DataEntryKind::File, root / "source/help/SourceOnly.txt"},
        {"Linked.txt", DataEntryKind::File, root / "prefix/share/brevant/Linked.txt"},
        {"Dangling.txt", DataEntryKind::File, root / "source/help/Dangling.txt"},
        {"Missing.txt", DataEntryKind::File, fs::path()},
        {"", DataEntryKind::File, fs::path()},
        {"", DataEntryKind::Folder, fs::path()},
        {"examples", DataEntryKind::Folder, root / "work/examples"},
        {"examples/IndepT.dat", DataEntryKind::File, root / "work/examples/IndepT.dat"},
        {"Folder", DataEntryKind::Folder, root / "prefix/share/brevant/Folder"},
        {"Folder", DataEntryKind::File, root / "source/help/Folder"},
        {"Installed.txt", DataEntryKind::Folder, root / "work/Installed.txt"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindDataEntry(c.name, c.kind, root / "work", folders), c.expected) << c.name;
    }
    // Without the working folder's examples, the installed ones; then the source tree's.
    fs::remove_all(root / "work/examples");
    EXPECT_EQ(FindDataEntry("examples", DataEntryKind::Folder, root / "work", folders),
              root / "prefix/share/brevant/examples");
    fs::remove_all(root / "prefix/share/brevant/examples");
    EXPECT_EQ(FindDataEntry("examples", DataEntryKind::Folder, root / "work", folders), root / "source/help/examples");
    EXPECT_EQ(FindDataEntry("examples", DataEntryKind::Folder, root / "work", {}), fs::path());
}

// This test program runs from the build tree, so the configured layout leads to the source tree's help/,
// which holds the description files and the examples.
TEST(BuiltLayout, TestProgramFindsTheSourceTreeDescriptionsAndExamples) {
    const fs::path executableDir = brevant::ExecutableDir();
    ASSERT_FALSE(executableDir.empty());
    EXPECT_TRUE(fs::exists(executableDir / "tests_engine"));  // the folder of the engine's test programs
    const fs::path help = fs::weakly_canonical(fs::path(BREVANT_SOURCE_DIR) / "help");
    const std::vector<fs::path> folders = brevant::ProgramDataFolders();
    ASSERT_EQ(folders.size(), 2u);
    EXPECT_EQ(folders[1], help);
    // share/brevant is found from bin/, so an installed tree can move as a whole.
    EXPECT_TRUE(brevant::BuiltLayout().installedFromBinDir.is_relative());
    EXPECT_EQ(brevant::BuiltLayout().installedFromBinDir.filename(), "brevant");
    const fs::path nowhere = fs::path(BREVANT_TEST_WORK_DIR);
    EXPECT_EQ(FindDataEntry("BrevantHelp.txt", DataEntryKind::File, nowhere, folders), help / "BrevantHelp.txt");
    EXPECT_EQ(FindDataEntry("examples", DataEntryKind::Folder, nowhere, folders), help / "examples");
}

}  // namespace
}  // namespace BREVANT_TEST_UNIT
