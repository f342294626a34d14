// The procedures the batch tool runs, by window name: each row says which of the tool's options a procedure
// takes and how it runs. The built-in table is the procedure catalogue (analysis/catalogue/); the tests give
// the tool tables of their own.
#pragma once

#include "analysis/Procedure.h"
#include "analysis/catalogue/ProcedureCatalogue.h"
#include "engine/DataFile.h"
#include "engine/Module1.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brevant::cli {

// The catalogue's names, as the tool and its tests spell them.
using brevant::Choices;
using brevant::Feature;
using brevant::kBootstrapErrors;
using brevant::kConfidence;
using brevant::kNoFeature;
using brevant::kNoOutputFile;
using brevant::SettingsCheck;

using ProcedureRun =
    std::function<RunResult(DataFile&, const RunSettings&, const Choices&, Generator&, RunControl&)>;
// The shape of almost every procedure's entry point.
using PlainProcedure = RunResult (*)(DataFile&, const RunSettings&, Generator&, RunControl&);

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

// The thirteen procedures of the catalogue.
const ProcedureTable& BuiltinProcedures();

}  // namespace brevant::cli
