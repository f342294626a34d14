// Runs the batch tool in-process and keeps what it printed.
#pragma once

#include "cli/BatchTool.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace brevant::testing {

struct CliRun {
    int code;
    std::string out;
    std::string err;
};

inline CliRun Cli(std::vector<std::string> args,
                  const brevant::cli::ProcedureTable& procedures = brevant::cli::BuiltinProcedures()) {
    args.insert(args.begin(), "brevant-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int code = brevant::cli::RunCli(static_cast<int>(argv.size()), argv.data(), out, err, procedures);
    return {code, out.str(), err.str()};
}

// A file in the test program's own folder under the tests' work folder.
inline std::filesystem::path CliWorkFile(const std::string& folder, const std::string& name) {
    return std::filesystem::path(BREVANT_TEST_WORK_DIR) / folder / name;
}

// A figure formatted as the batch tool formats it (format is a printf format taking one double).
inline std::string Printf(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

// A figure as the batch tool prints a three-decimal box.
inline std::string ThreeDecimals(double value) { return Printf("%.3f", value); }

// The confidence levels the batch tool takes, and the q each stands for.
inline constexpr std::pair<const char*, float> kConfidenceLevels[] = {{"90", 0.95f}, {"95", 0.975f}, {"99", 0.995f}};

}  // namespace brevant::testing
