// What this build was configured with: the program version (CMake's project version) and where the
// description files and examples are looked for.
#pragma once

#include "engine/DataFolders.h"

#include <string_view>

namespace brevant {

// "1.3": the one version of the program and the batch tool.
std::string_view ProgramVersion();

// The installed data folder relative to the programs' folder, this build tree and the source tree's help/.
const DataFolderLayout& BuiltLayout();

// Folders searched after the working folder, for the running program (see DataFolders).
std::vector<std::filesystem::path> ProgramDataFolders();

// Folders the batch tool's histogram module is looked for in, in order (never the working folder): the
// installed lib/brevant relative to the program's folder, then, for a program in the build tree, the
// build's cli/ folder.
std::vector<std::filesystem::path> ProgramModuleFolders();

}  // namespace brevant
