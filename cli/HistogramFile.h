// Saving a run's histogram as a picture file from the batch tool, without any window.
#pragma once

#include "analysis/Procedure.h"

#include <string>

namespace brevant::cli {

inline constexpr int kHistogramPixelsWide = 800;
inline constexpr int kHistogramPixelsHigh = 600;

// True for a name ending in .svg or .png, in any case.
bool IsHistogramFileName(const std::string& path);

// Computes the histogram of result.resampled (which it shifts in place: write the output file first) and
// saves it as SVG or PNG by the extension. Throws OutputFileError with the painter's message on failure.
void SaveHistogramFile(const std::string& path, RunResult& result);

}  // namespace brevant::cli
