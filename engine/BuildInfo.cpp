#include "engine/BuildInfo.h"

#include "BuildInfoValues.h"

namespace brevant {

std::string_view ProgramVersion() { return BREVANT_VERSION; }

const DataFolderLayout& BuiltLayout() {
    static const DataFolderLayout layout{BREVANT_DATA_FROM_BINDIR, BREVANT_BUILD_DIR, BREVANT_SOURCE_DATA_DIR};
    return layout;
}

std::vector<std::filesystem::path> ProgramDataFolders() { return DataFolders(ExecutableDir(), BuiltLayout()); }

std::vector<std::filesystem::path> ProgramModuleFolders() {
    static const DataFolderLayout layout{BREVANT_MODULE_FROM_BINDIR, BREVANT_BUILD_DIR, BREVANT_BUILD_DIR "/cli"};
    return DataFolders(ExecutableDir(), layout);
}

}  // namespace brevant
