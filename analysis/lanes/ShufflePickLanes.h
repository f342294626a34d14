// The swap positions of a shuffle from its draws: ShuffleArray's downward swaps, the value at position m
// exchanged with the one at Index(m), m counting down. A baseline path and an AVX2 path give the same
// positions. Qt-free.
#pragma once

#include "engine/UniformBlocks.h"

#include <cstdint>
#include <span>

namespace brevant {

// picks[k] = Index(top - k) from draws[k]: floor(u (top - k - 0.0001) + 1), the product rounded before the
// sum; picks holds draws.size() positions.
void ShufflePicks(DrawPath path, std::span<const double> draws, std::int32_t top, std::int32_t* picks) noexcept;

}  // namespace brevant
