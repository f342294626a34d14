// Seeds as text, "A,B,C": how the batch tool's --seed and a window's Edit > Seeds read them, with one
// message for a text that is not three seeds in range, so both say the same. Qt-free.
#pragma once

#include "engine/Module1.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brevant {

// A whole number written with digits only (at most 18), or nothing.
std::optional<std::int64_t> WholeNumber(std::string_view text);

// The seeds of "A,B,C": three whole numbers, each from 1 to its generator's modulus less one; none otherwise.
std::optional<Seeds> ReadSeeds(std::string_view text);

// Why text is not three seeds, opened by what names them: SeedsProblem("--seed", "1,2") gives
// "--seed must be three whole numbers A,B,C with A from 1 to 30268, B from 1 to 30306 and C from 1 to 30322,
// not "1,2"."
std::string SeedsProblem(std::string_view subject, std::string_view text);

// "A,B,C", as ReadSeeds reads it back.
std::string SeedsText(const Seeds& seeds);

}  // namespace brevant
