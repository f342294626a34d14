// Output files are written whole: the content goes to a new temporary file in the target's folder, which
// is then renamed over the target, so a reader never sees half a file and a failure leaves any old file
// exactly as it was. Qt-free.
#pragma once

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace brevant {

// A failure to write, with a message naming the file and the cause.
class OutputFileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Replaces the file at path by content. A path that is a symbolic link replaces the file it points to.
// The new file gets the usual permissions for a new file (or the old file's, when one is replaced).
// Throws OutputFileError (an empty path, a missing folder, a folder that cannot be written, a full disk,
// a path that names a folder); then the temporary file is removed and the old file is unchanged.
void WriteFileWhole(const std::string& path, std::string_view content);

// The output-file form of values: one line each, the default number text followed by CR LF.
std::string ValueLines(std::span<const float> values);

}  // namespace brevant
