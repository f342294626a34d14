// Output files are written whole: the content goes to a new temporary file in the target's folder, which
// is then renamed over the target, so a reader never sees half a file and a failure leaves any old file
// exactly as it was. What is not a regular file (a pipe, /dev/null, a terminal) is written into as it is.
// Qt-free.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace brevant {

// A failure to write, with a message naming the file and the cause.
class OutputFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
    OutputFileError(const std::string& message, std::string reason)
        : std::runtime_error(message), reason_(std::move(reason)) {}
    // The cause alone, without the file's name, where the failure was in writing; else the whole message.
    std::string Reason() const { return reason_.empty() ? what() : reason_; }

private:
    std::string reason_;
};

// Replaces the file at path by content. A symbolic link is followed to the file it names, which is created
// when it does not exist yet. A new file gets the usual permissions; a replaced one keeps its permission
// bits and its owner. A pipe or a device is written into directly.
// Throws OutputFileError (an empty path, a missing folder, a folder that cannot be written, a file this
// user may not write, another user's regular file when not run as root, a full disk, a path that names a
// folder); then the temporary file is removed and the old file is unchanged.
// kind names the file in messages ("output file", "histogram file").
void WriteFileWhole(const std::string& path, std::string_view content, std::string_view kind = "output file");

// Every check of an output file that can be made before a run, so a long run is not lost at its end: not
// the data file itself, not a folder or a socket, a file this user may write (and, for a regular file, this
// user's own unless run as root), in a folder that exists and (for a regular file or a new name) may be
// written. Throws OutputFileError with the message the window and the batch tool show, naming the file as
// kind; an empty outputPath passes.
void CheckOutputFile(const std::string& outputPath, const std::string& dataPath,
                     std::string_view kind = "output file");

// Refuses an output path that names the data file itself (in another spelling, through a link, or as a
// hard link of it); names that do not exist yet pass.
void CheckOutputIsNotDataFile(const std::string& outputPath, const std::string& dataPath);

// Makes an interrupt (SIGINT, SIGTERM, SIGHUP, SIGQUIT) remove the temporary file of a write in progress
// before the process ends of it. Signals that are ignored (nohup) stay ignored.
void RemoveTemporaryFileOnInterrupt();

// The output-file form of values: one line each, the default number text followed by CR LF.
std::string ValueLines(std::span<const float> values);

}  // namespace brevant
