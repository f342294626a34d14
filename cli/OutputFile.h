// Files the batch tool writes (output files, histograms) are replaced whole: the text goes to a temporary
// file in the same folder, which is then renamed over the target, so a failed write leaves the old file.
#pragma once

#include <string>
#include <string_view>

namespace brevant::cli {

// Throws std::runtime_error naming the file and the reason; the target is then unchanged.
void WriteWholeFile(const std::string& path, std::string_view content);

}  // namespace brevant::cli
