#include "plot/ReportFacts.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "engine/BuildInfo.h"
#include "engine/OutputFile.h"

namespace brevant::plot {

namespace {

// A word as a POSIX shell reads it back: bare when it holds only safe characters, else in single quotes.
std::string ShellWord(const std::string& word) {
    const bool safe = !word.empty() && word.find_first_not_of(
                                           "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                           "0123456789_-+=.,:/@%") == std::string::npos;
    if (safe) return word;
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

ReportContent MakeReportContent(ReportRun run, std::span<const ResultBox> boxes) {
    ReportContent content;
    content.run = std::move(run);
    for (const ResultBox& box : boxes) content.results.push_back({box.labelControl, box.label, BoxText(box)});
    content.command = RepeatCommand(content.run);
    content.version = std::string(ProgramVersion());
    return content;
}

std::string RepeatCommand(const ReportRun& run) {
    std::vector<std::string> words{"brevant-cli", run.procedure, run.dataFile, "--resamples",
                                   std::to_string(run.resamples)};
    if (run.confidence) words.insert(words.end(), {"--confidence", std::to_string(*run.confidence)});
    words.insert(words.end(), run.options.begin(), run.options.end());
    const Seeds& s = run.seeds;
    words.insert(words.end(), {"--seed", std::to_string(s.a) + "," + std::to_string(s.b) + "," + std::to_string(s.c)});
    std::string command;
    for (const std::string& w : words) {
        if (!command.empty()) command += ' ';
        command += ShellWord(w);
    }
    return command;
}

bool IsPdfReportName(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension == ".pdf";
}

void CheckReportFile(const std::string& path, const std::string& dataPath) {
    try {
        CheckOutputIsNotDataFile(path, dataPath);
    } catch (const OutputFileError&) {
        throw OutputFileError("The report file \"" + path +
                              "\" is the data file itself; saving the report would "
                              "replace the data. Choose another name for the report.");
    }
    CheckOutputFile(path, dataPath, "report file");
}

}  // namespace brevant::plot
