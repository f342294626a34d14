// Batch-tool runs compared with the literal transcriptions of the runs.
#pragma once

#include "engine/Module1.h"
#include "literal/LiteralEngine.h"
#include "support/CliRun.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace brevant::testing {

// What the literal run says the batch tool must give: the lines after "Seeds: ...", and the output file.
struct LiteralOutcome {
    std::string printed;
    std::string outputText;
};

// Runs procedure on data at each confidence level from the same seeds, writing out; literal(q) runs the
// literal transcription from the seed table (set to the seeds before each call). The printed figures, the
// output file's bytes and the seeds left must all be the literal run's.
template <class Literal>
void ExpectEachLevelMatchesLiteral(const std::string& procedure, const std::filesystem::path& data,
                                   const std::filesystem::path& out, brevant::Seeds seeds, int resamples,
                                   Literal literal) {
    const std::string seedText = std::to_string(seeds.a) + "," + std::to_string(seeds.b) + "," +
                                 std::to_string(seeds.c);
    for (const auto& [level, q] : kConfidenceLevels) {
        SCOPED_TRACE(procedure + " " + level);
        const CliRun run = Cli({procedure, data.string(), "--confidence", level, "--seed", seedText, "--resamples",
                                std::to_string(resamples), "--output", out.string()});
        ASSERT_EQ(run.code, 0) << run.err;
        brevant::literal::seedTable = seeds;
        const LiteralOutcome expected = literal(q);
        EXPECT_EQ(run.out, "Seeds: " + seedText + "\n" + expected.printed);
        EXPECT_EQ(ReadWhole(out), expected.outputText);
        EXPECT_EQ(brevant::GetSeeds(), brevant::literal::seedTable);
    }
}

}  // namespace brevant::testing
