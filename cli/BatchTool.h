// brevant-cli: runs one procedure on one data file and prints its result boxes. Everything but main()
// lives here so tests can run the tool in-process.
#pragma once

#include "cli/Procedures.h"
#include "engine/Module1.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace brevant::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 2;  // bad arguments, or settings the procedure refuses
inline constexpr int kExitData = 3;   // a data file the procedure cannot use
inline constexpr int kExitWrite = 4;  // the output file or the histogram could not be written (results printed)
inline constexpr int kExitStopped = 5;  // the run stopped partway on its data (results before it printed)
inline constexpr int kExitFailure = 1;  // anything else: not enough memory, an unexpected error

struct Options {
    const Procedure* procedure = nullptr;
    std::string dataFile;
    std::int32_t resamples = 1000;  // the windows' first count button
    std::optional<int> confidence;  // 90, 95 or 99 when given
    float quantile = 0.975f;        // the windows' "95 %" button
    std::string output;             // empty: none
    std::optional<Seeds> seeds;     // none: from the clock
    int threads = 0;                // 0: every core
    std::int64_t exactLimit = kDefaultExactLimit;  // 0: no exact count
    bool bootstrapErrors = false;
    std::string histogram;          // empty: none
    std::string report;             // the run's report page (plot/Report.h); empty: none
    bool json = false;
    std::vector<std::string> columns;  // --columns: names or numbers from 1; empty: as the table stands
    std::optional<std::string> group;  // --group: the long form's grouping column
};

// Parses and checks the arguments. Returns nothing when options is ready for a run; otherwise the exit
// code (kExitOk after --help or --version, kExitUsage after a usage error), the text already written to out or err.
std::optional<int> ParseArguments(int argc, const char* const* argv, const ProcedureTable& procedures,
                                  Options& options, std::ostream& out, std::ostream& err);

// The whole tool: arguments, seeds, run, output file, histogram, results. Returns the exit code.
// showProgress draws a progress bar on err (main() passes whether standard error is a terminal).
int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const ProcedureTable& procedures = BuiltinProcedures(), bool showProgress = false);

}  // namespace brevant::cli
