// The batch tool refusing data or settings: the exit code and what it says.
#pragma once

#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace brevant::testing {

// Writes text to data and runs procedure on it, with args after the file name: the tool must exit with code
// (3 for data, 2 for settings) and, when says is not empty, say it on the error stream.
inline void ExpectCliRefuses(int code, const std::string& procedure, const std::filesystem::path& data,
                             const std::string& text, const std::string& says, std::vector<std::string> args = {}) {
    SCOPED_TRACE(procedure + " on \"" + text + "\"");
    WriteWhole(data, text);
    args.insert(args.begin(), {procedure, data.string()});
    const CliRun run = Cli(args);
    EXPECT_EQ(run.code, code) << run.err;
    if (!says.empty()) {
        EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
    }
}

}  // namespace brevant::testing
