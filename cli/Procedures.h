// The procedures the batch tool can run, by window name. Each entry adapts one Qt-free procedure: it reads
// the data file, runs the resamples and hands back the window's result boxes in the window's order, the
// output-file text and, when asked, a way to save the histogram.
//
// Adding a procedure is one row in BuiltinProcedures() (Procedures.cpp) plus its adapter function.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace brevant::cli {

// What the tool asks of a run; the options already checked against the entry.
struct Request {
    std::string dataFile;
    std::int32_t resamples = 1000;
    float quantile = 0.975f;       // 0.95, 0.975 or 0.995 (entries with a confidence level)
    bool bootstrapErrors = false;  // entries with a "Bootstrap Errors" choice
    bool wantOutput = false;       // fill Result::outputText
    bool wantHistogram = false;    // fill Result::saveHistogram
    // Told how far the resamples have come; always callable (does nothing when no bar is shown).
    std::function<void(std::int64_t done, std::int64_t total)> progress = [](std::int64_t, std::int64_t) {};
};

// One result box: its control name, its label, the value it holds and the text the window shows.
struct Box {
    std::string control;
    std::string label;
    std::variant<float, double, std::int64_t> value;
    std::string text;
};
// A box showing the value in the general number text.
Box GeneralBox(std::string control, std::string label, std::variant<float, double, std::int64_t> value);
// A box showing the value with three decimals (C locale); the value keeps its full precision.
Box ThreeDecimalBox(std::string control, std::string label, std::variant<float, double> value);

struct Result {
    std::vector<Box> boxes;  // in the window's order
    std::string outputText;  // the whole output file, lines ending in CR LF (when Request::wantOutput)
    // Saves the histogram as SVG or PNG by the path's extension; throws std::runtime_error on failure.
    std::function<void(const std::string& path)> saveHistogram;
};

struct Procedure {
    std::string_view name;     // the window name, e.g. "IndepT"
    std::string_view caption;  // the window caption, for the help text
    bool hasConfidence = false;
    bool writesOutput = true;
    bool hasBootstrapErrors = false;
    // Throws DataFileError for a data file it cannot use (unreadable, malformed, statistic undefined).
    std::function<Result(const Request&)> run;
};

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
