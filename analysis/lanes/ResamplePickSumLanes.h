// Bootstrap resamples drawn and summed side by side without an array of their values: sixteen resamples at
// a time, lane j drawing from its own stretch of the stream (FillUniformLanes from seeds[j]), picking each
// value from the source as BootstrapDrawFrom does and adding it at once to its own running sums, in the
// order drawn. The AVX2 path and the baseline give the same bits. Qt-free.
#pragma once

#include "analysis/lanes/GroupSumLanes.h"
#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <cstdint>
#include <span>

namespace brevant {

inline constexpr int kPickSumLanes = 2 * kGroupLanes;

// kPickSumLanes resamples of n = source.size() >= 1 values each, drawn one after another from the stream at
// start, as BootstrapDrawFrom draws them: value i of resample j is source[Index(n) - 1] from draw j n + i.
// sums[j / 8] lane j % 8 gets what RunningSums(precision) gives over resample j's values in order, and
// whether they all equal its first. Returns the seeds after the last resample's draws.
Seeds PickAndSumLanes(DrawPath path, SumPrecision precision, std::span<const float> source, Seeds start,
                      GroupLaneSums (&sums)[2]) noexcept;

}  // namespace brevant
