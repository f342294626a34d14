#include "cli/OptionValues.h"

#include "analysis/Procedure.h"
#include "engine/DataFile.h"

namespace brevant::cli {

std::string QuotedArgument(std::string_view text) {
    std::string quoted = "\"";
    quoted += PrintableText(text);
    quoted += '"';
    return quoted;
}

std::int32_t ParseResamples(const std::string& text) {
    const auto value = WholeNumber(text);
    if (!value || *value < 1 || *value > kMaxResamples) {
        throw UsageError("--resamples must be a whole number from 1 to " + std::to_string(kMaxResamples) +
                         ", not " + QuotedArgument(text) + ".");
    }
    return static_cast<std::int32_t>(*value);
}

int ParseThreads(const std::string& text) {
    const auto value = WholeNumber(text);
    if (!value || *value < 1 || *value > kMaxThreads) {
        throw UsageError("--threads must be a whole number from 1 to " + std::to_string(kMaxThreads) + ", not " +
                         QuotedArgument(text) + ".");
    }
    return static_cast<int>(*value);
}

std::int64_t ParseExactLimit(const std::string& text) {
    const auto value = WholeNumber(text);
    if (!value || *value > kMaxExactLimit) {
        throw UsageError("--exact-limit must be a whole number from 0 to " + std::to_string(kMaxExactLimit) +
                         ", not " + QuotedArgument(text) + ".");
    }
    return *value;
}

// The confidence level and its quantile, the constants of the windows' "90 %", "95 %" and "99 %" buttons.
std::pair<int, float> ParseConfidence(const std::string& text) {
    if (text == "90") return {90, 0.95f};
    if (text == "95") return {95, 0.975f};
    if (text == "99") return {99, 0.995f};
    throw UsageError("--confidence must be 90, 95 or 99, not " + QuotedArgument(text) + ".");
}

Seeds ParseSeeds(const std::string& text) {
    if (const std::optional<Seeds> seeds = ReadSeeds(text)) return *seeds;
    throw UsageError(SeedsProblem("--seed", text));
}

}  // namespace brevant::cli
