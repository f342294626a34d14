// The thirteen procedures as the windows and the batch tool know them, one row each: the window name and
// caption, whether the procedure takes a confidence level, writes an output file or offers "Bootstrap
// Errors", its result boxes with their labels (each procedure's header spells them, k<Name>Boxes), and its
// entry point. The windows build their result area and run from a row; the batch tool finds a procedure,
// its options and its run the same way. Qt-free.
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brevant {

// Choices of a run beyond RunSettings that only some procedures have.
struct Choices {
    bool bootstrapErrors = false;  // the "Bootstrap Errors" check box, --errors
};

// What a procedure takes besides a data file and a resample count.
enum Feature : unsigned {
    kNoFeature = 0,
    kConfidence = 1,       // a confidence level: the window's "CI %" buttons, --confidence
    kNoOutputFile = 2,     // writes no output file: the batch tool refuses --output
    kBootstrapErrors = 4,  // the "Bootstrap Errors" choice, --errors
};

// The resamples of a prepared run, to execute on any thread. It may draw only from the generator it is given
// and polls control for cancellation (the procedures do, at every resample).
using ResampleWork = std::function<RunResult(Generator& generator, RunControl& control)>;
// A run whose data have been read and checked: its resamples, and the boxes known before them (the
// procedure's Observed<Name>Boxes), which a window shows from the start of the run.
struct PreparedRun {
    ResampleWork work;
    std::vector<ResultBox> observed;
};
// Reads and checks a run's data; throws DataFileError with a message for the user.
using PrepareProcedure = PreparedRun (*)(DataFile& file, const RunSettings& settings, const Choices& choices);
// The check of the resample count and confidence quantile; throws SettingsError.
using SettingsCheck = void (*)(std::int32_t resamples, float q);

struct CatalogueEntry {
    std::string_view name;     // the window name: "IndepT"
    std::string_view caption;  // the window caption: "Independent Groups t"
    unsigned features = kNoFeature;
    std::span<const BoxSpec> boxes;  // window order
    PrepareProcedure prepare = nullptr;
    SettingsCheck checkSettings = nullptr;

    bool Has(Feature f) const noexcept { return (features & f) != 0; }
    // Checks the settings, then reads the data (throwing SettingsError or DataFileError as they come).
    PreparedRun Prepare(DataFile& file, const RunSettings& settings, const Choices& choices) const;
    // Prepares and runs at once, on the calling thread.
    RunResult Run(DataFile& file, const RunSettings& settings, const Choices& choices, Generator& generator,
                  RunControl& control) const;
};

// All thirteen, randomization tests first, in the order of the main window's menus.
std::span<const CatalogueEntry> ProcedureCatalogue();
// Case-insensitive lookup by window name; nullptr when there is none.
const CatalogueEntry* FindProcedure(std::string_view name);
// "IndepT, PairedT, ..." in catalogue order.
std::string ProcedureNames();

}  // namespace brevant
