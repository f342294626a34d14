// The batch tool's option values read from their texts: resample counts, confidence levels and seeds.
// Qt-free and free of the option parser, so they can be tested and fuzzed on their own.
#pragma once

#include "engine/Module1.h"
#include "engine/SeedsText.h"

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace brevant::cli {

// An argument the tool cannot use; the message says which and why.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A whole number written with digits only (at most 18), or nothing (engine/SeedsText.h).
using brevant::WholeNumber;

// --resamples: 1 to kMaxResamples. Throws UsageError.
std::int32_t ParseResamples(const std::string& text);

// --threads: 1 to kMaxThreads. Throws UsageError.
inline constexpr int kMaxThreads = 256;
int ParseThreads(const std::string& text);

// --exact-limit: 0 (no exact count) to kMaxExactLimit arrangements. Throws UsageError.
inline constexpr std::int64_t kMaxExactLimit = 1'000'000'000'000;
std::int64_t ParseExactLimit(const std::string& text);

// --confidence: 90, 95 or 99, with the quantile of the windows' button of that level. Throws UsageError.
std::pair<int, float> ParseConfidence(const std::string& text);

// --seed: three whole numbers A,B,C, each from 1 to its generator's modulus less one (ReadSeeds, which the
// windows' Edit > Seeds reads with too). Throws UsageError.
Seeds ParseSeeds(const std::string& text);

// The texts in messages: in double quotes, control characters and bytes that are not UTF-8 as "?".
std::string QuotedArgument(std::string_view text);

}  // namespace brevant::cli
