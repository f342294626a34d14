// The procedures the batch tool runs, by window name. Each row names a procedure's one entry point
// (<Name>Procedure, analysis/Procedure.h) and which of the tool's options it takes; adding a procedure is
// one row in BuiltinProcedures() (Procedures.cpp).
#pragma once

#include "analysis/Procedure.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::cli {

// Choices of a run beyond RunSettings that only some procedures have.
struct Choices {
    bool bootstrapErrors = false;  // the "Bootstrap Errors" check box
};

using ProcedureRun =
    std::function<RunResult(DataFile&, const RunSettings&, const Choices&, Generator&, RunControl&)>;
// The shape of almost every procedure's entry point.
using PlainProcedure = RunResult (*)(DataFile&, const RunSettings&, Generator&, RunControl&);
// The check of the resample count and confidence quantile a procedure makes when it runs (analysis/
// Procedure.h), made by the tool before it prints anything; throws SettingsError.
using SettingsCheck = void (*)(std::int32_t resamples, float q);

// What a procedure takes besides a data file and a resample count.
enum Feature : unsigned {
    kNoFeature = 0,
    kConfidence = 1,       // --confidence (the window's "CI %" buttons)
    kNoOutputFile = 2,     // the window writes no output file: --output is refused
    kBootstrapErrors = 4,  // --errors
};

struct Procedure {
    std::string_view name;     // the window name, e.g. "IndepT"
    std::string_view caption;  // the window caption
    unsigned features = kNoFeature;
    ProcedureRun run;
    SettingsCheck checkSettings = nullptr;  // none: the resample count's range is all it checks

    bool Has(Feature f) const noexcept { return (features & f) != 0; }
};

// The usual row: a procedure without extra choices.
Procedure Entry(std::string_view name, std::string_view caption, unsigned features, PlainProcedure procedure,
                SettingsCheck checkSettings = nullptr);

class ProcedureTable {
public:
    ProcedureTable() = default;
    explicit ProcedureTable(std::vector<Procedure> procedures) : procedures_(std::move(procedures)) {}

    // Case-insensitive lookup by window name; nullptr when there is none.
    const Procedure* Find(std::string_view name) const;
    // "IndepT, BootstMean" (or "none yet").
    std::string NameList() const;
    const std::vector<Procedure>& All() const { return procedures_; }

private:
    std::vector<Procedure> procedures_;
};

// The procedures built into the tool.
const ProcedureTable& BuiltinProcedures();

}  // namespace brevant::cli
