// Saving a run's histogram as a picture file from the batch tool, without any window.
#pragma once

#include "analysis/Procedure.h"

#include <string>

namespace brevant::cli {

// Twice the picture box's default size, in its 6:5 shape.
inline constexpr int kHistogramPixelsWide = 960;
inline constexpr int kHistogramPixelsHigh = 800;

// True for a name ending in .svg or .png, in any case.
bool IsHistogramFileName(const std::string& path);

// A function of the histogram module (HistogramModule.h) by its name, the module loaded on first use; null
// with the reason when the module or the function is missing.
void* HistogramModuleFunction(const char* symbol, std::string& reason);

// Computes the histogram of result.resampled (which it shifts in place: write the output file first) and
// saves it as SVG or PNG by the extension, with the words that say what lies off its range
// (painted by the histogram module). Throws OutputFileError with the painter's message on failure.
void SaveHistogramFile(const std::string& path, RunResult& result);

}  // namespace brevant::cli
