// What the report of one run holds (plot/Report.h draws the page from it): Qt-free, so the batch tool fills
// it and checks the report file without Qt, and its figures are texts made once, here, as `--json` gives
// them. The page itself is drawn by the batch tool's histogram module or, in the windows, by plot/.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "analysis/Procedure.h"
#include "engine/Module1.h"  // Seeds

namespace brevant::plot {

// How the run was made: enough to repeat it.
struct ReportRun {
    std::string procedure;  // the window name: "IndepT"
    std::string caption;    // the window caption: "Independent Groups t"
    std::string dataFile;   // as the run read it; an absolute path repeats best
    std::string columns;    // a table's columns read (ColumnsText); empty for counts-first text
    std::int32_t resamples = 0;
    std::optional<int> confidence;        // 90, 95 or 99, in procedures with a level
    std::optional<bool> bootstrapErrors;  // in procedures with that choice
    std::int64_t exactLimit = kDefaultExactLimit;
    Seeds seeds;             // the generator's state as the resamples began
    std::string outputFile;  // empty: none
    // The batch tool's options besides --resamples, --confidence and --seed that the run took
    // (--errors, --exact-limit N, --columns A,B, --group G), one word each.
    std::vector<std::string> options;
};

// A result box as shown: its label and its text as `--json` gives it (BoxText).
struct ReportResult {
    std::string labelControl;  // boxes sharing a label stand side by side
    std::string label;
    std::string text;
};

struct ReportContent {
    ReportRun run;
    std::vector<ReportResult> results;  // window order
    std::vector<std::string> notes;     // the run's notes as shown: Monte Carlo errors, exact p values
    std::vector<std::string> messages;  // what the run said in message boxes
    std::span<const float> resampled;   // as the run gave them, before any histogram shifted them
    HistogramRequest histogram;
    std::string command;  // RepeatCommand(run)
    std::string version;  // the program's
};

// The report of run with these boxes: results, command and version filled; notes, messages, values and
// the histogram request left to the caller.
ReportContent MakeReportContent(ReportRun run, std::span<const ResultBox> boxes);

// The batch-tool command that repeats the run (threads left out: they change nothing), its words quoted
// for a POSIX shell where they need it.
std::string RepeatCommand(const ReportRun& run);

// True for a name ending in .pdf, in any case: the report as a PDF document rather than a page.
bool IsPdfReportName(const std::string& path);

// Every check of a report file that can be made before a run or a save (engine/OutputFile.h
// CheckOutputFile): never the data file itself, a folder that exists and may be written. Throws
// OutputFileError naming the "report file".
void CheckReportFile(const std::string& path, const std::string& dataPath);

}  // namespace brevant::plot
