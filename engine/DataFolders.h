// Where the description files (BrevantHelp.txt, <Window>Help.txt) and the examples folder are found.
// The working folder comes first, as it always has (the start script runs the program inside help/); then
// share/brevant of an installed tree, found relative to the program's own folder; then, for a program run
// from the build tree only, help/ in the source tree.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace brevant {

struct DataFolderLayout {
    std::filesystem::path installedFromBinDir;  // "../share/brevant": share/brevant seen from bin/
    std::filesystem::path buildDir;             // the build tree
    std::filesystem::path sourceDataDir;        // help/ in the source tree
};

// The folders to search after the working folder, in order, for a program in executableDir: the installed
// data folder, then the source tree's help/ when executableDir lies within the build tree. Paths are
// absolute and normalised; whether they exist is left to FindDataEntry. None for an empty executableDir.
std::vector<std::filesystem::path> DataFolders(const std::filesystem::path& executableDir,
                                               const DataFolderLayout& layout);

enum class DataEntryKind { File, Folder };

// The first of workingDir/name and folder/name for each folder that exists as that kind (a regular file,
// or a link to one; a folder, or a link to one). Empty when none does. name is a bare name or a relative
// path; an empty name finds nothing.
std::filesystem::path FindDataEntry(const std::string& name, DataEntryKind kind,
                                    const std::filesystem::path& workingDir,
                                    const std::vector<std::filesystem::path>& folders);

// The running program's folder, from /proc/self/exe; empty when that cannot be read.
std::filesystem::path ExecutableDir();

}  // namespace brevant
