#include "cli/OutputFile.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <sys/stat.h>
#include <unistd.h>

namespace brevant::cli {

namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
    throw std::runtime_error("Cannot write the file \"" + path + "\": " + std::generic_category().message(error) +
                             ".");
}

// The permissions a newly created file gets (mkstemp creates it readable by its owner only).
mode_t NewFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

void WriteWholeFile(const std::string& path, std::string_view content) {
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored)) {
        throw std::runtime_error("Cannot write the file \"" + path + "\": it is a folder.");
    }
    const std::filesystem::path target(path);
    std::filesystem::path folder = target.parent_path();
    if (folder.empty()) folder = ".";
    std::string hidden = ".";
    hidden += target.filename().string();
    hidden += ".XXXXXX";
    std::string temporary = (folder / hidden).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0) Fail(path, errno);

    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t n = write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : EIO;
            close(fd);
            std::remove(temporary.c_str());
            Fail(path, error);
        }
        written += static_cast<std::size_t>(n);
    }
    fchmod(fd, NewFileMode());
    if (close(fd) != 0 || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        std::remove(temporary.c_str());
        Fail(path, error);
    }
}

}  // namespace brevant::cli
