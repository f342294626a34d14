#include "engine/DataFolders.h"

#include <system_error>

namespace brevant {

namespace fs = std::filesystem;

namespace {

// Absolute, with links resolved as far as the path exists, then normalised: "bin/../share" is "share".
fs::path Resolved(const fs::path& path) {
    std::error_code error;
    fs::path resolved = fs::weakly_canonical(path, error);
    if (error) resolved = fs::absolute(path, error);
    return resolved.lexically_normal();
}

// True when path is folder itself or lies somewhere below it (both already resolved).
bool IsWithin(const fs::path& path, const fs::path& folder) {
    if (folder.empty()) return false;
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty()) continue;  // the empty last element of a folder written with a trailing slash
        if (p == path.end() || *p != *f) return false;
    }
    return true;
}

bool IsKind(const fs::path& path, DataEntryKind kind) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);  // follows links
    if (error) return false;
    return kind == DataEntryKind::File ? fs::is_regular_file(status) : fs::is_directory(status);
}

}  // namespace

std::vector<fs::path> DataFolders(const fs::path& executableDir, const DataFolderLayout& layout) {
    std::vector<fs::path> folders;
    if (executableDir.empty()) return folders;
    const fs::path programDir = Resolved(executableDir);
    if (!layout.installedFromBinDir.empty()) folders.push_back(Resolved(programDir / layout.installedFromBinDir));
    if (!layout.buildDir.empty() && !layout.sourceDataDir.empty() && IsWithin(programDir, Resolved(layout.buildDir))) {
        folders.push_back(Resolved(layout.sourceDataDir));
    }
    return folders;
}

fs::path FindDataEntry(const std::string& name, DataEntryKind kind, const fs::path& workingDir,
                       const std::vector<fs::path>& folders) {
    if (name.empty()) return {};
    if (const fs::path here = workingDir / name; IsKind(here, kind)) return here;
    for (const fs::path& folder : folders) {
        if (const fs::path there = folder / name; IsKind(there, kind)) return there;
    }
    return {};
}

fs::path ExecutableDir() {
    std::error_code error;
    const fs::path program = fs::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return program.parent_path();
}

}  // namespace brevant
