#include "cli/BatchTool.h"

#include "analysis/ColumnRoles.h"
#include "analysis/MonteCarloError.h"

#include "cli/HistogramFile.h"
#include "cli/OptionValues.h"
#include "cli/Progress.h"
#include "cli/ReportFile.h"
#include "plot/ReportFacts.h"
#include "engine/BuildInfo.h"
#include "engine/DataFile.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "engine/TableFile.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <chrono>
#include <filesystem>
#include <future>
#include <new>
#include <stdexcept>
#include <vector>

namespace brevant::cli {

namespace {

// True when the two names reach the same file (or would, once created).
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    if (std::filesystem::exists(a, error) && std::filesystem::exists(b, error)) {
        return std::filesystem::equivalent(a, b, error);
    }
    return std::filesystem::weakly_canonical(a, error) == std::filesystem::weakly_canonical(b, error);
}

// The checks that need the procedure and more than one option.
void CheckOptions(const Options& o, const std::string& confidenceText) {
    const Procedure& p = *o.procedure;
    const std::string name(p.name);
    if (!confidenceText.empty() && !p.Has(kConfidence)) {
        throw UsageError(name + " has no confidence level; leave out --confidence.");
    }
    if (o.bootstrapErrors && !p.Has(kBootstrapErrors)) {
        throw UsageError(name + " has no \"Bootstrap Errors\" choice; leave out --errors.");
    }
    if (!o.output.empty() && p.Has(kNoOutputFile)) {
        throw UsageError(name + " writes no output file; leave out --output.");
    }
    // The settings the procedure would refuse once it runs, refused before anything is printed.
    if (p.checkSettings != nullptr) {
        try {
            p.checkSettings(o.resamples, o.quantile);
        } catch (const SettingsError& e) {
            throw UsageError(e.what());
        }
    }
    if (!o.histogram.empty() && !IsHistogramFileName(o.histogram)) {
        throw UsageError("--histogram must name an .svg or .png file, not " + QuotedArgument(o.histogram) + ".");
    }
    // Never write over the data, nor two results into one file; and find a file that cannot be written now,
    // not after the run.
    if (!o.histogram.empty() && SameFile(o.histogram, o.dataFile)) {
        throw UsageError("--histogram names the data file itself; choose another file.");
    }
    if (!o.output.empty() && !o.histogram.empty() && SameFile(o.output, o.histogram)) {
        throw UsageError("--output and --histogram name the same file.");
    }
    for (const auto& [other, option] : {std::pair{&o.output, "--output"}, std::pair{&o.histogram, "--histogram"}}) {
        if (!o.report.empty() && !other->empty() && SameFile(o.report, *other)) {
            throw UsageError(std::string("--report and ") + option + " name the same file.");
        }
    }
    try {
        CheckOutputFile(o.output, o.dataFile);
        CheckOutputFile(o.histogram, o.dataFile, "histogram file");
        if (!o.report.empty()) plot::CheckReportFile(o.report, o.dataFile);
    } catch (const OutputFileError& e) {
        throw UsageError(e.what());
    }
}

std::string Footer(const ProcedureTable& procedures) {
    return "Procedures (window names, any case): " + procedures.NameList() +
           ".\n--resamples: 1 to " + std::to_string(kMaxResamples) +
           " (default 1000); --confidence: 90, 95 or 99 (default 95).\n"
           "Without --seed the seeds come from the clock; the seeds used are printed, so a run can be repeated.\n"
           "Each p value or tail proportion gets its Monte Carlo standard error, sqrt(p(1 - p)/R), in a note (and\n"
           "as monteCarloError in --json); a note says how many resamples would settle a p near 0.05 or 0.01.\n"
           "IndepT, PairedT, Corr1, OnewayRandom and Repeated1way also count every arrangement of the data when\n"
           "there are at most --exact-limit of them (default " + GroupedCount(kDefaultExactLimit) + "; 0: never): the exact p of each such box is\n"
           "given in a note (and as exact in --json, with exactArrangements); the resampled figures stay as they are.\n"
           "A table (a first line naming the columns; always .csv, .tsv, .sav, .zsav, .por and .dta) is read by its\n"
           "columns: --columns chooses them by name or number (from 1) in the procedure's order, --group names a\n"
           "grouping column (the values in one column); without --columns, the table's numeric columns as they\n"
           "stand. Empty cells, NA and . are missing: skipped in a group's column, the row left out otherwise.\n"
           "--report writes the data file, settings, seeds, the command that repeats the run, every result, the notes\n"
           "and the detailed plot (inline SVG) into one page that needs nothing else: no scripts, links or files.\n"
           "Exit codes: 0 done, 2 usage error (an output file found unwritable before the run included), 3 data\n"
           "error, 4 a file could not be written after the run (the results are printed all the same), 5 the run\n"
           "stopped partway on its data (what was known before is printed), 1 any other failure.";
}

// The full-precision value as a JSON number: floats by their shortest text, so 0.1f is 0.1; none for
// infinities and NaN, which JSON cannot hold (the box's text says which).
nlohmann::ordered_json JsonValue(const std::variant<float, double, std::int64_t>& value) {
    if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
    const double d = std::holds_alternative<float>(value) ? static_cast<double>(std::get<float>(value))
                                                          : std::get<double>(value);
    if (!std::isfinite(d)) return nullptr;
    if (const auto* f = std::get_if<float>(&value)) {
        const std::string text = ShortestText(*f);
        double shortest = 0;
        std::from_chars(text.data(), text.data() + text.size(), shortest);
        return shortest;
    }
    return d;
}

// A table's chosen columns, laid out for the procedure.
struct TableRun {
    Table table;
    TableLayout layout;
};

nlohmann::ordered_json JsonColumn(const Table& table, std::size_t column) {
    return {{"name", table.ColumnName(column)}, {"number", column + 1}};
}

void PrintJson(std::ostream& out, const Options& o, Seeds seeds, const RunResult& result, const TableRun* run) {
    using Json = nlohmann::ordered_json;
    Json json;
    json["procedure"] = std::string(o.procedure->name);
    json["dataFile"] = o.dataFile;
    if (run != nullptr) {
        Json columns = Json::array();
        for (const UsedColumn& used : run->layout.columns) {
            Json column = {{"role", used.role}};
            column.update(JsonColumn(run->table, used.column));
            columns.push_back(column);
        }
        json["columns"] = columns;
        if (run->layout.groupColumn) {
            Json group = JsonColumn(run->table, *run->layout.groupColumn);
            group["groups"] = Json::array();
            for (const UsedGroup& g : run->layout.groups) {
                group["groups"].push_back({{"role", g.role}, {"name", g.name}, {"values", g.values}});
            }
            json["groupColumn"] = group;
        }
    }
    json["seeds"] = {seeds.a, seeds.b, seeds.c};
    Json options;
    options["resamples"] = o.resamples;
    if (o.procedure->Has(kConfidence)) {
        options["confidence"] = o.confidence.value_or(95);
        options["quantile"] = JsonValue(o.quantile);
    }
    if (o.procedure->Has(kBootstrapErrors)) options["bootstrapErrors"] = o.bootstrapErrors;
    options["output"] = o.output.empty() ? Json(nullptr) : Json(o.output);
    options["histogram"] = o.histogram.empty() ? Json(nullptr) : Json(o.histogram);
    options["report"] = o.report.empty() ? Json(nullptr) : Json(o.report);
    json["options"] = options;
    Json boxes = Json::object();
    for (const ResultBox& box : result.boxes) {
        boxes[box.control] = {{"label", box.label}, {"value", JsonValue(box.value)}, {"text", BoxText(box)}};
    }
    // A proportion of the resamples also carries its Monte Carlo standard error.
    for (const MonteCarloFigure& figure : MonteCarloFigures(result.boxes, o.resamples)) {
        boxes[figure.control]["monteCarloError"] = figure.standardError;
    }
    // And, where every arrangement was counted, its exact share.
    const ExactFigures& exact = result.exact;
    for (std::size_t i = 0; i < exact.controls.size() && exact.arrangements > 0; ++i) {
        if (boxes.contains(exact.controls[i])) boxes[exact.controls[i]]["exact"] = exact.shares[i];
    }
    if (exact.arrangements > 0) json["exactArrangements"] = exact.arrangements;
    json["results"] = boxes;
    json["notes"] = result.notes;
    json["messages"] = result.messages;
    // Names are the user's bytes: any that are not UTF-8 show as U+FFFD rather than break the document.
    out << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
}

void PrintText(std::ostream& out, const RunResult& result) {
    for (const std::string& line : ResultLines(result.boxes)) out << line << "\n";
    for (const std::string& note : result.notes) out << "Note: " << note << "\n";
    for (const std::string& message : result.messages) out << "Note: " << message << "\n";
}

// Runs the procedure on TheGenerator(); with a bar, on a worker thread while this one draws its progress.
RunResult RunProcedure(const Options& o, DataFile& file, const RunSettings& settings, std::ostream& err,
                       bool showProgress) {
    const Choices choices{o.bootstrapErrors};
    RunControl control;
    const auto run = [&] { return o.procedure->run(file, settings, choices, TheGenerator(), control); };
    if (!showProgress) return run();
    ProgressBar bar(err, true);
    auto result = std::async(std::launch::async, run);
    while (result.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
        bar.Update(control.resamplesDone.load(std::memory_order_relaxed),
                   control.resampleTotal.load(std::memory_order_relaxed));
    }
    bar.Finish();
    return result.get();
}

// The data file as the procedure reads it: counts-first text as it stands, or a table's chosen columns laid
// out as such text (kept in `table`). A choice of columns the file cannot meet is a UsageError.
DataFile OpenData(const Options& o, std::optional<TableRun>& table) {
    std::variant<DataFile, Table> opened = OpenDataFile(o.dataFile);
    const std::string name(o.procedure->name);
    if (auto* file = std::get_if<DataFile>(&opened)) {
        if (!o.columns.empty() || o.group) {
            throw UsageError(std::string(o.columns.empty() ? "--group" : "--columns") + " chooses columns of a table, "
                             "but " + file->QuotedName() + " is not one: its first line names no columns.");
        }
        return std::move(*file);
    }
    Table& read = std::get<Table>(opened);
    const ColumnRoles* roles = FindColumnRoles(name);
    if (roles == nullptr) throw UsageError(name + " reads no tables; give it counts-first text.");
    try {
        TableLayout layout = LayOutTable(read, *roles, {o.columns, o.group});
        DataFile file = DataFile::FromText(layout.text, o.dataFile);
        table.emplace(TableRun{std::move(read), std::move(layout)});
        return file;
    } catch (const ColumnChoiceError& e) {
        throw UsageError(std::string(e.what()) + "\nColumns of " + read.QuotedName() + ": " + e.Columns() + ".\n" +
                         name + " needs " + RolesText(*roles) +
                         (TakesGroupColumn(*roles) ? "; or the values with --columns and the groups with --group NAME"
                                                   : "") +
                         ". Choose them with --columns NAME[,NAME...], by name or number from 1.");
    }
}

}  // namespace

std::optional<int> ParseArguments(int argc, const char* const* argv, const ProcedureTable& procedures,
                                  Options& options, std::ostream& out, std::ostream& err) {
    CLI::App app("Runs one resampling procedure on one data file and prints its results.", "brevant-cli");
    std::string procedureName, resamplesText, confidenceText, seedText, threadsText, exactLimitText, columnsText,
        groupText;
    app.add_option("PROCEDURE", procedureName, "The window name of the procedure, e.g. IndepT")->required();
    app.add_option("DATAFILE", options.dataFile, "The data file")->required();
    app.add_option("--resamples", resamplesText, "How many resamples to draw")->type_name("N");
    app.add_option("--confidence", confidenceText, "Confidence level in percent")->type_name("90|95|99");
    app.add_option("--output", options.output, "Write the resampled values to this file")->type_name("FILE");
    app.add_option("--seed", seedText, "Start the generator from these three seeds")->type_name("A,B,C");
    app.add_option("--threads", threadsText, "Threads for the resamples (default: every core; the results are "
                                             "the same for any number)")->type_name("N");
    app.add_option("--exact-limit", exactLimitText, "Count every arrangement for an exact p when there are at most "
                                                    "N (randomization tests; 0: never)")->type_name("N");
    app.add_option("--columns", columnsText, "A table's columns in the procedure's order, by name or number "
                                             "from 1 (the values column with --group)")->type_name("NAME[,NAME...]");
    app.add_option("--group", groupText, "A table's grouping column, by name or number: the groups' values in "
                                         "one column")->type_name("NAME");
    app.add_flag("--errors", options.bootstrapErrors, "Bootstrap the errors instead of the observations (OnewayBoot)");
    app.add_option("--histogram", options.histogram, "Save the histogram")->type_name("FILE.svg|FILE.png");
    app.add_option("--report", options.report, "Write the run's report: one self-contained HTML page (a name "
                                               "ending in .pdf: a PDF document)")->type_name("FILE.html");
    app.add_flag("--json", options.json, "Print one JSON object instead of text lines");
    app.set_version_flag("--version", "brevant-cli " + std::string(ProgramVersion()), "Print the version and exit");
    app.footer(Footer(procedures));

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return kExitOk;
    } catch (const CLI::CallForVersion& e) {
        out << e.what() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        err << "brevant-cli: " << e.what() << "\nRun brevant-cli --help for usage.\n";
        return kExitUsage;
    }

    try {
        // An option given with an empty value (an unset variable in a script) is an error, never "not given":
        // without --seed the run could not be repeated.
        for (const char* name : {"--resamples", "--confidence", "--seed", "--threads", "--exact-limit", "--output",
                                 "--histogram", "--columns", "--group", "--report"}) {
            const CLI::Option* option = app.get_option(name);
            if (option->count() > 0 && option->as<std::string>().empty()) {
                throw UsageError(std::string(name) + " was given an empty value; give a value or leave the option out.");
            }
        }
        options.procedure = procedures.Find(procedureName);
        if (options.procedure == nullptr) {
            throw UsageError("no procedure named " + QuotedArgument(procedureName) +
                             "; available: " + procedures.NameList() + ".");
        }
        if (!resamplesText.empty()) options.resamples = ParseResamples(resamplesText);
        if (!confidenceText.empty()) std::tie(options.confidence, options.quantile) = ParseConfidence(confidenceText);
        if (!seedText.empty()) options.seeds = ParseSeeds(seedText);
        if (!threadsText.empty()) options.threads = ParseThreads(threadsText);
        if (!exactLimitText.empty()) options.exactLimit = ParseExactLimit(exactLimitText);
        // Names may hold commas when quoted as in a table: --columns '"weight, kg",height'.
        if (!columnsText.empty()) options.columns = SplitCells(columnsText, ',');
        if (!groupText.empty()) options.group = groupText;
        CheckOptions(options, confidenceText);
    } catch (const UsageError& e) {
        err << "brevant-cli: " << e.what() << "\nRun brevant-cli --help for usage.\n";
        return kExitUsage;
    }
    return std::nullopt;
}

int RunCli(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
           const ProcedureTable& procedures, bool showProgress) {
    Options options;
    if (const auto exit = ParseArguments(argc, argv, procedures, options, out, err)) return *exit;

    if (options.seeds) {
        SetSeeds(*options.seeds);
    } else {
        SeedFromClock();
    }
    const Seeds seeds = GetSeeds();
    if (!options.json) out << "Seeds: " << seeds.a << "," << seeds.b << "," << seeds.c << "\n" << std::flush;

    RunSettings settings;
    settings.resamples = options.resamples;
    settings.confidence = options.quantile;
    settings.outputPath = options.output;
    settings.threads = options.threads;
    settings.exactLimit = options.exactLimit;
    std::vector<std::string> readNotes;  // what reading the data file had to say: items or rows not read
    std::optional<TableRun> table;       // when the data file is a table
    try {
        DataFile file = OpenData(options, table);
        if (table && !options.json) {
            out << "Columns: " << ColumnsText(table->table, table->layout) << "\n" << std::flush;
        }
        if (table) readNotes = table->layout.notes;
        RunResult result;
        try {
            result = RunProcedure(options, file, settings, err, showProgress);
        } catch (const RunStopped&) {
            if (const auto unread = file.UnreadItemsNote()) readNotes.push_back(*unread);  // read whole all the same
            throw;
        }
        if (const auto unread = file.UnreadItemsNote()) readNotes.push_back(*unread);
        const ColumnRoles* roles = FindColumnRoles(options.procedure->name);
        if (const auto first = roles != nullptr && !table ? FirstGroupSizeCount(*roles) : std::nullopt) {
            if (const auto note = file.GroupsInColumnsNote(*first)) readNotes.push_back(*note);
        }
        result.notes.insert(result.notes.begin(), readNotes.begin(), readNotes.end());
        AddMonteCarloNotes(result, settings.resamples);
        // The results first, so neither a pipe without a reader yet nor a file that cannot be written holds
        // them back; a failure to write is reported after them.
        if (options.json) {
            PrintJson(out, options, seeds, result, table ? &*table : nullptr);
        } else {
            PrintText(out, result);
        }
        out << std::flush;
        // The output file before the histogram, which shifts the values in place.
        std::vector<std::string> writeErrors;
        try {
            WriteOutputFile(settings, result.resampled);
        } catch (const OutputFileError& e) {
            writeErrors.emplace_back(e.what());
        }
        // The report before the histogram, which shifts the values the report's plot reads.
        if (!options.report.empty()) {
            try {
                SaveReportFile(options.report, options, seeds, result, table ? &table->table : nullptr,
                               table ? &table->layout : nullptr);
            } catch (const OutputFileError& e) {
                writeErrors.emplace_back(e.what());
            }
        }
        if (!options.histogram.empty()) {
            try {
                SaveHistogramFile(options.histogram, result);
            } catch (const OutputFileError& e) {
                writeErrors.emplace_back(e.what());
            }
        }
        for (const std::string& message : writeErrors) err << "brevant-cli: " << message << "\n";
        if (!writeErrors.empty()) return kExitWrite;
    } catch (const RunStopped& e) {
        // What was known before the resamples is printed; nothing was written.
        RunResult before;
        before.boxes = e.Observed();
        before.notes = readNotes;
        if (options.json) {
            PrintJson(out, options, seeds, before, table ? &*table : nullptr);
        } else {
            PrintText(out, before);
        }
        out << std::flush;
        err << "brevant-cli: " << e.what() << "\n";
        return kExitStopped;
    } catch (const DataFileError& e) {
        err << "brevant-cli: " << e.what() << "\n";
        if (table) err << "The columns read: " << ColumnsText(table->table, table->layout) << "\n";
        return kExitData;
    } catch (const UsageError& e) {
        err << "brevant-cli: " << e.what() << "\n";
        return kExitUsage;
    } catch (const SettingsError& e) {
        err << "brevant-cli: " << e.what() << "\n";
        return kExitUsage;
    } catch (const OutputFileError& e) {
        err << "brevant-cli: " << e.what() << "\n";
        return kExitWrite;
    } catch (const std::bad_alloc&) {
        err << "brevant-cli: there is not enough memory for this run; choose fewer resamples or a smaller data "
               "file.\n";
        return kExitFailure;
    } catch (const std::exception& e) {
        err << "brevant-cli: the run stopped because of an unexpected error: " << e.what() << "\n";
        return kExitFailure;
    }
    return kExitOk;
}

}  // namespace brevant::cli
