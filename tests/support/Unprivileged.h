// Runs a check as an unprivileged user (nobody, 65534) in a child process, so permission refusals can be
// tested when the tests run as root, where every permission is granted.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <system_error>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brevant::testing {

inline constexpr unsigned kNobody = 65534;

// What check returns (an empty string when all was as expected, else what was not), run as nobody when
// this process is root and as this user otherwise. "" on success; the child's complaint otherwise.
inline std::string AsUnprivileged(const std::function<std::string()>& check) {
    int channel[2];
    if (::pipe(channel) != 0) return "no pipe";
    const pid_t child = ::fork();
    if (child < 0) return "no fork";
    if (child == 0) {
        ::close(channel[0]);
        std::string complaint;
        if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            complaint = "could not become nobody";
        } else {
            // An exception must not escape into the test program's own loop, run on as nobody.
            try {
                complaint = check();
            } catch (const std::exception& e) {
                complaint = std::string("threw: ") + e.what();
            } catch (...) {
                complaint = "threw";
            }
        }
        (void)!::write(channel[1], complaint.data(), complaint.size());
        ::_exit(complaint.empty() ? 0 : 1);
    }
    ::close(channel[1]);
    std::string complaint;
    char buffer[512];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) complaint.append(buffer, static_cast<std::size_t>(n));
    ::close(channel[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status)) return "the child ended abnormally";
    if (WEXITSTATUS(status) != 0 && complaint.empty()) return "the child failed";
    return complaint;
}

// A fresh folder (mode 755) under the system's temporary folder, removed with all it holds at the end of its
// scope: the unprivileged user must reach the files of a check, and the build tree may lie in a folder only its
// owner may enter (a clone in /root).
class ReachableFolder {
public:
    explicit ReachableFolder(const std::string& name) {
        std::string pattern = (std::filesystem::temp_directory_path() / (name + ".XXXXXX")).string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category(), pattern);
        path_ = pattern;
        std::filesystem::permissions(path_, std::filesystem::perms(0755));
    }
    ~ReachableFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ReachableFolder(const ReachableFolder&) = delete;
    ReachableFolder& operator=(const ReachableFolder&) = delete;

    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace brevant::testing
