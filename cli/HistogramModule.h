// The batch tool's histogram module: the Qt painting of a histogram picture and of the report page in a
// library of its own, loaded only when --histogram or --report asks for one, so that a plain run starts without loading Qt.
#pragma once

#include "analysis/Procedure.h"
#include "engine/Histogram.h"
#include "plot/ReportFacts.h"

#include <cstdint>
#include <string>

namespace brevant::cli {

// Its file, looked for in ProgramModuleFolders() (engine/BuildInfo.h).
inline constexpr const char* kHistogramModuleFile = "brevant-histogram.so";
// The functions it exports (C linkage, so that the batch tool finds them by these names).
// The picture of geometry, width x height pixels, as the bytes of a PNG (png) or SVG file, with the words
// under it that say what of the run (request; off of its resamples counted for p) lies off its range;
// false with what went wrong in failure ("the picture has no size.").
inline constexpr const char* kHistogramPictureSymbol = "BrevantHistogramPicture";
using HistogramPictureFunction = bool (*)(const HistogramGeometry& geometry, const HistogramRequest& request,
                                          CountedOffHistogram off, std::int64_t resamples, bool png,
                                          int width, int height,
                                          std::string& bytes, std::string& failure);

// The report of a run (plot/Report.h) as the bytes of an HTML page, or of a PDF document (pdf); false with
// what went wrong in failure.
inline constexpr const char* kReportDocumentSymbol = "BrevantReportDocument";
using ReportDocumentFunction = bool (*)(const plot::ReportContent& content, bool pdf, std::string& bytes,
                                        std::string& failure);

}  // namespace brevant::cli
