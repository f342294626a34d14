// Runs the batch tool in-process and keeps what it printed.
#pragma once

#include "cli/BatchTool.h"

#include <sstream>
#include <string>
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

}  // namespace brevant::testing
