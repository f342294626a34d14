#include "engine/OutputFile.h"

#include "engine/DataFile.h"
#include "engine/NumberText.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brevant {

namespace {

namespace fs = std::filesystem;

// A name in a message: control characters and bytes that are not UTF-8 as "?", never raw to a terminal.
std::string Quoted(const std::string& path) {
    std::string quoted = "\"";
    quoted += PrintableText(path);
    quoted += '"';
    return quoted;
}

// The file a write goes to, and what messages call it.
struct Output {
    const std::string& path;
    std::string_view kind;
};

[[noreturn]] void Fail(const Output& out, const std::string& what, int error) {
    std::string reason = what;
    if (error != 0) reason += " (" + std::string(std::strerror(error)) + ")";
    reason += ". Any earlier file of that name is unchanged.";
    throw OutputFileError("Cannot write the " + std::string(out.kind) + " " + Quoted(out.path) + ": " + reason, reason);
}

// The refusal before a run, the same text in the window and the batch tool.
[[noreturn]] void Refuse(std::string_view kind, const std::string& path, const std::string& problem) {
    throw OutputFileError("The " + std::string(kind) + " " + Quoted(path) + " cannot be written: " + problem +
                          ". Choose another " + std::string(kind) + ".");
}

// The temporary file being written, for the interrupt handler: a fixed buffer and a flag, both safe to read
// in a signal handler.
char temporaryPath[4096];
std::atomic<bool> temporaryPublished{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void PublishTemporary(const fs::path& path) {
    const std::string& text = path.native();
    temporaryPublished.store(false);
    if (text.size() >= sizeof temporaryPath) return;
    std::memcpy(temporaryPath, text.c_str(), text.size() + 1);
    temporaryPublished.store(true);
}

void RemoveTemporary(const fs::path& temporary) {
    temporaryPublished.store(false);
    ::unlink(temporary.c_str());
}

extern "C" void RemoveTemporaryAndDie(int signal) {
    if (temporaryPublished.load()) ::unlink(temporaryPath);
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

// The file a write reaches: symbolic links followed to the end of their chain, to a name that need not
// exist yet (a dangling link creates the file it names). A name of one of this process's open streams
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N) gives that descriptor instead: the user means the stream, and
// it may be a pipe or a file the shell opened. Empty, with errno set, when the chain does not end.
struct Target {
    fs::path path;
    int stream = -1;  // an open descriptor to write to, or -1
};

int StreamNamed(const fs::path& p) {
    const std::string name = p.lexically_normal().string();
    if (name == "/dev/stdout") return STDOUT_FILENO;
    if (name == "/dev/stderr") return STDERR_FILENO;
    for (const std::string_view folder : {"/dev/fd/", "/proc/self/fd/"}) {
        if (!name.starts_with(folder) || name.size() == folder.size() || name.size() > folder.size() + 6) continue;
        const std::string_view digits = std::string_view(name).substr(folder.size());
        if (digits.find_first_not_of("0123456789") == std::string_view::npos) return std::stoi(std::string(digits));
    }
    return -1;
}

Target Resolve(const std::string& path) {
    fs::path p(path);
    for (int hops = 0; hops < 40; ++hops) {
        if (const int stream = StreamNamed(p); stream >= 0) return {p, stream};
        struct stat info {};
        if (::lstat(p.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return {p};
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 4096) + 1, '\0');
        const ssize_t length = ::readlink(p.c_str(), link.data(), link.size());
        if (length < 0) return {p};
        link.resize(static_cast<std::size_t>(length));
        const fs::path next(link);
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    errno = ELOOP;
    return {};
}

fs::path FolderOf(const fs::path& target) { return target.has_parent_path() ? target.parent_path() : fs::path("."); }

// Whether this process may write the file or folder, judged as the kernel would for its effective user.
bool MayWrite(const fs::path& path, int mode = W_OK) { return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0; }

// A regular file of another user, replaced by anyone but root, would become this user's (its owner cannot be
// given back), and in a sticky folder such as /tmp the rename over it fails only once the run is over.
bool OthersFile(const struct stat& info) {
    return S_ISREG(info.st_mode) && ::geteuid() != 0 && info.st_uid != ::geteuid();
}

// Creates a new temporary file beside target with the permissions a new file gets; returns its fd.
int CreateTemporary(const fs::path& target, fs::path& temporary) {
    static std::atomic<unsigned> counter{0};
    std::random_device entropy;
    const fs::path folder = FolderOf(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        // A short name of its own, so a target name near the file-name length limit still gets one.
        std::string name = ".brevant";
        for (const unsigned part : {static_cast<unsigned>(::getpid()), counter.fetch_add(1), entropy() % 1000000}) {
            name += '.';
            name += std::to_string(part);
        }
        name += ".tmp";
        temporary = folder / name;
        PublishTemporary(temporary);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return fd;
        const int error = errno;
        temporaryPublished.store(false);
        errno = error;
        if (errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// In pieces of a megabyte, so an interrupt is handled between them rather than after the whole file.
bool WriteAll(int fd, std::string_view content) {
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, std::min(left, kPiece));
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

// A pipe, a terminal or a device is written into as it is: it cannot be replaced, and must not be.
void WriteInto(const Output& out, const fs::path& target, std::string_view content) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) Fail(out, errno == EACCES ? "you may not write to it" : "it cannot be opened for writing", errno);
    if (!WriteAll(fd, content)) {
        const int error = errno;
        ::close(fd);
        Fail(out, "writing failed", error);
    }
    if (::close(fd) != 0) Fail(out, "writing failed", errno);
}

// A regular file, or a new name: written whole to a temporary file beside it, then renamed over it.
void ReplaceWhole(const Output& out, const fs::path& target, const struct stat* old, std::string_view content) {
    fs::path temporary;
    const int fd = CreateTemporary(target, temporary);
    if (fd < 0 && errno == ENOENT) Fail(out, "its folder does not exist", 0);
    if (fd < 0) Fail(out, "its folder cannot be written to", errno);

    auto abandon = [&](const std::string& what, int error) {
        ::close(fd);
        RemoveTemporary(temporary);
        Fail(out, what, error);
    };
    if (old != nullptr) {
        // The replaced file's permission bits, its owner (only root gets here with another user's file) and,
        // where this user may give it, its group.
        if ((old->st_uid != ::geteuid() || old->st_gid != ::getegid()) && ::fchown(fd, old->st_uid, old->st_gid) != 0) {
            (void)::fchown(fd, static_cast<uid_t>(-1), old->st_gid);
        }
        if (::fchmod(fd, old->st_mode & 07777) != 0) abandon("its permissions cannot be kept", errno);
    }
    if (!WriteAll(fd, content)) abandon("writing failed", errno);
    if (::fsync(fd) != 0) abandon("writing failed", errno);
    if (::close(fd) != 0) {
        const int error = errno;
        RemoveTemporary(temporary);
        Fail(out, "writing failed", error);
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const int error = errno;
        RemoveTemporary(temporary);
        Fail(out, "the finished file could not replace it", error);
    }
    temporaryPublished.store(false);
}

}  // namespace

void WriteFileWhole(const std::string& path, std::string_view content, std::string_view kind) {
    const Output out{path, kind};
    if (path.empty()) Fail(out, "no file name was given", 0);
    const Target target = Resolve(path);
    if (target.path.empty()) Fail(out, "its symbolic links go round in a circle", ELOOP);
    if (target.stream >= 0) {
        if (!WriteAll(target.stream, content)) Fail(out, "writing failed", errno);
        return;
    }
    struct stat old {};
    const bool exists = ::stat(target.path.c_str(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode)) Fail(out, "that name belongs to a folder", 0);
    if (exists && !S_ISREG(old.st_mode)) {
        WriteInto(out, target.path, content);
        return;
    }
    // The rename would replace a file whatever its own permission says: this user must be allowed to write it.
    if (exists && !MayWrite(target.path)) Fail(out, "you may not write to it", EACCES);
    if (exists && OthersFile(old)) Fail(out, "it belongs to another user", 0);
    ReplaceWhole(out, target.path, exists ? &old : nullptr, content);
}

void CheckOutputFile(const std::string& outputPath, const std::string& dataPath, std::string_view kind) {
    if (outputPath.empty()) return;
    CheckOutputIsNotDataFile(outputPath, dataPath);
    const Target resolved = Resolve(outputPath);
    if (resolved.path.empty()) Refuse(kind, outputPath, "its symbolic links go round in a circle");
    if (resolved.stream >= 0) {
        const int flags = ::fcntl(resolved.stream, F_GETFL);
        if (flags < 0) Refuse(kind, outputPath, "that stream is not open");
        if ((flags & O_ACCMODE) == O_RDONLY) Refuse(kind, outputPath, "that stream is not open for writing");
        return;
    }
    const fs::path& target = resolved.path;
    struct stat info {};
    if (::stat(target.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) Refuse(kind, outputPath, "it is a folder");
        if (S_ISSOCK(info.st_mode)) Refuse(kind, outputPath, "it is a socket, not a file");
        if (!MayWrite(target)) Refuse(kind, outputPath, "you may not write to it");
        if (OthersFile(info)) Refuse(kind, outputPath, "it belongs to another user");
        if (S_ISREG(info.st_mode) && !MayWrite(FolderOf(target), W_OK | X_OK)) {
            Refuse(kind, outputPath, "its folder " + Quoted(FolderOf(target).string()) +
                                   " cannot be written to, and the new file is written there before it replaces "
                                   "the old one");
        }
        return;
    }
    if (errno != ENOENT && errno != ENOTDIR) Refuse(kind, outputPath, std::string("it cannot be reached (") + std::strerror(errno) + ")");
    const fs::path folder = FolderOf(target);
    struct stat folderInfo {};
    if (::stat(folder.c_str(), &folderInfo) != 0) {
        Refuse(kind, outputPath, errno == ENOENT ? "its folder " + Quoted(folder.string()) + " does not exist"
                                           : "its folder " + Quoted(folder.string()) + " cannot be reached (" +
                                                 std::strerror(errno) + ")");
    }
    if (!S_ISDIR(folderInfo.st_mode)) Refuse(kind, outputPath, Quoted(folder.string()) + " is not a folder");
    if (!MayWrite(folder, W_OK | X_OK)) Refuse(kind, outputPath, "its folder " + Quoted(folder.string()) + " cannot be written to");
}

void CheckOutputIsNotDataFile(const std::string& outputPath, const std::string& dataPath) {
    if (outputPath.empty() || dataPath.empty()) return;
    std::error_code ec;
    if (std::filesystem::equivalent(outputPath, dataPath, ec) && !ec) {
        throw OutputFileError("The output file " + Quoted(outputPath) +
                              " is the data file itself; writing the resampled values would replace the data. "
                              "Choose another output file.");
    }
}

void RemoveTemporaryFileOnInterrupt() {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction previous {};
        if (::sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;  // nohup
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryAndDie;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

std::string ValueLines(std::span<const float> values) {
    // A line is at most 16 characters; the writer may write past the text of the last.
    std::string text(values.size() * 16 + kDefaultFloatTextSize, '\0');
    char* out = text.data();
    for (const float v : values) {
        out = WriteDefaultNumberText(v, out);
        *out++ = '\r';
        *out++ = '\n';
    }
    text.resize(static_cast<std::size_t>(out - text.data()));
    return text;
}

}  // namespace brevant
