#include "cli/ReportFile.h"

#include "cli/HistogramFile.h"
#include "cli/HistogramModule.h"
#include "engine/DataFile.h"
#include "engine/OutputFile.h"
#include "plot/ReportFacts.h"

#include <cctype>
#include <filesystem>

namespace brevant::cli {

namespace {

// A column for the repeat command: a plain name that no other column shares as it stands, any other by its
// number from 1 (no quoting needed), as the windows write it.
std::string CommandColumn(const Table& table, std::size_t column) {
    const std::string& name = table.ColumnName(column);
    bool plain = !name.empty() && !std::isdigit(static_cast<unsigned char>(name.front()));
    for (const char c : name)
        plain = plain && (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '-');
    std::size_t same = 0;
    for (std::size_t c = 0; c < table.Columns(); ++c) same += table.ColumnName(c) == name;
    return plain && same == 1 ? name : std::to_string(column + 1);
}

}  // namespace

void SaveReportFile(const std::string& path, const Options& options, Seeds seeds, const RunResult& result,
                    const Table* table, const TableLayout* layout) {
    const Procedure& procedure = *options.procedure;
    plot::ReportRun run;
    run.procedure = std::string(procedure.name);
    run.caption = std::string(procedure.caption);
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(options.dataFile, error);
    run.dataFile = error ? options.dataFile : absolute.lexically_normal().string();
    run.resamples = options.resamples;
    if (procedure.Has(kConfidence)) run.confidence = options.confidence.value_or(95);
    if (procedure.Has(kBootstrapErrors)) run.bootstrapErrors = options.bootstrapErrors;
    if (options.bootstrapErrors) run.options.emplace_back("--errors");
    run.exactLimit = options.exactLimit;
    if (options.exactLimit != kDefaultExactLimit)
        run.options.insert(run.options.end(), {"--exact-limit", std::to_string(options.exactLimit)});
    if (table != nullptr && layout != nullptr) {
        run.columns = ColumnsText(*table, *layout);
        std::string columns;
        for (const UsedColumn& used : layout->columns) {
            if (!columns.empty()) columns += ',';
            columns += CommandColumn(*table, used.column);
        }
        run.options.insert(run.options.end(), {"--columns", columns});
        if (layout->groupColumn)
            run.options.insert(run.options.end(), {"--group", CommandColumn(*table, *layout->groupColumn)});
    }
    run.seeds = seeds;
    run.outputFile = options.output;
    plot::ReportContent content = plot::MakeReportContent(std::move(run), result.boxes);
    content.notes = result.notes;
    content.messages = result.messages;
    content.resampled = result.resampled;
    content.histogram = result.histogram;

    const auto fail = [&](const std::string& reason) {
        throw OutputFileError("The report could not be saved as " + PrintableText(path) + ": " + reason);
    };
    std::string reason;
    const auto document =
        reinterpret_cast<ReportDocumentFunction>(HistogramModuleFunction(kReportDocumentSymbol, reason));
    if (document == nullptr) fail(reason + ".");
    std::string bytes, failure;
    if (!document(content, plot::IsPdfReportName(path), bytes, failure)) fail(failure);
    WriteFileWhole(path, bytes, "report file");
}

}  // namespace brevant::cli
