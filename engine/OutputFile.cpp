#include "engine/OutputFile.h"

#include "engine/NumberText.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brevant {

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Fail(const std::string& path, const std::string& what, int error) {
    std::string message = "Cannot write the output file " + path + ": " + what;
    if (error != 0) message += " (" + std::string(std::strerror(error)) + ")";
    throw OutputFileError(message + ". Any earlier file of that name is unchanged.");
}

// The file a write replaces: through a symbolic link to the file it names, so the link survives.
fs::path Target(const std::string& path) {
    std::error_code ec;
    const fs::path p(path);
    if (fs::is_symlink(fs::symlink_status(p, ec))) {
        const fs::path resolved = fs::weakly_canonical(p, ec);
        if (!ec) return resolved;
    }
    return p;
}

// Creates a new temporary file beside target with the permissions a new file gets; returns its fd.
int CreateTemporary(const fs::path& target, fs::path& temporary) {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A short name of its own, so a target name near the file-name length limit still gets one.
        std::string name = ".brevant";
        for (const unsigned part : {static_cast<unsigned>(::getpid()), counter.fetch_add(1), entropy() % 1000000}) {
            name += '.';
            name += std::to_string(part);
        }
        name += ".tmp";
        temporary = folder / name;
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, std::string_view content) {
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace

void WriteFileWhole(const std::string& path, std::string_view content) {
    if (path.empty()) Fail("\"\"", "no file name was given", 0);
    const fs::path target = Target(path);

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && S_ISDIR(old.st_mode)) Fail(path, "that name belongs to a folder", 0);

    fs::path temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0 && errno == ENOENT) Fail(path, "its folder does not exist", 0);
    if (fd < 0) Fail(path, "its folder cannot be written to", errno);

    auto abandon = [&](const std::string& what, int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        Fail(path, what, error);
    };
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0) abandon("its permissions cannot be kept", errno);
    if (!WriteAll(fd, content)) abandon("writing failed", errno);
    if (::fsync(fd) != 0) abandon("writing failed", errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        Fail(path, "writing failed", error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        Fail(path, "the finished file could not replace it", error);
    }
}

std::string ValueLines(std::span<const float> values) {
    std::string text;
    text.reserve(values.size() * 16);
    for (const float v : values) {
        text += DefaultNumberText(v);
        text += "\r\n";
    }
    return text;
}

}  // namespace brevant
