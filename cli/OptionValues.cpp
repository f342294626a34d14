#include "cli/OptionValues.h"

#include "analysis/Procedure.h"
#include "engine/DataFile.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace brevant::cli {

std::string QuotedArgument(std::string_view text) {
    std::string quoted = "\"";
    quoted += PrintableText(text);
    quoted += '"';
    return quoted;
}

std::optional<std::int64_t> WholeNumber(std::string_view text) {
    if (text.empty() || text.size() > 18) return std::nullopt;
    std::int64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || text.front() == '-') {
        return std::nullopt;
    }
    return value;
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
    std::vector<std::optional<std::int64_t>> parts;
    for (std::size_t start = 0; parts.size() <= 3;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(WholeNumber(std::string_view(text).substr(start, comma - start)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    // 0 (never a valid seed) stands for a part that is missing or not a whole number.
    const auto seed = [&parts](std::size_t i, std::int32_t modulus) {
        return parts.size() == 3 && parts[i] ? static_cast<std::int32_t>(std::min<std::int64_t>(*parts[i], modulus))
                                             : 0;
    };
    const Seeds seeds{seed(0, kModulusA), seed(1, kModulusB), seed(2, kModulusC)};
    if (!SeedsValid(seeds)) {
        throw UsageError("--seed must be three whole numbers A,B,C with A from 1 to " + std::to_string(kModulusA - 1) +
                         ", B from 1 to " + std::to_string(kModulusB - 1) + " and C from 1 to " +
                         std::to_string(kModulusC - 1) + ", not " + QuotedArgument(text) + ".");
    }
    return seeds;
}

}  // namespace brevant::cli
