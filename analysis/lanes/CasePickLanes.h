// The cases a bootstrap resample takes, from its draws: case numbers or which of a
// case's two pairs. A baseline path and an AVX2 path give the same picks. Qt-free.
#pragma once

#include "engine/UniformBlocks.h"

#include <cstdint>
#include <span>

namespace brevant {

// out[k] = Index(m) - 1 from draws[k]: the case numbers, counted from 0, that the draws pick among m.
void CaseNumbers(DrawPath path, std::span<const double> draws, std::int32_t m, std::int32_t* out) noexcept;

// out[k] = 2 (i + k) + 1 where draws[k], as a float, is 0.5 or more, else 2 (i + k): the row of the pair
// case i + k takes, the first pair of case c at row 2 c and its second at 2 c + 1.
void PairRows(DrawPath path, std::span<const double> draws, std::int32_t i, std::int32_t* out) noexcept;

}  // namespace brevant
