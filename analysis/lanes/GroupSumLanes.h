// The running sums of a group of values in eight lanes at once, each lane its own arrangement or resample:
// the sum and the sum of squares as RunningSums gives them, and whether every value equals the first. The
// lanes' chains of roundings run side by side (on the AVX2 path the eight lanes of two groups, on the
// baseline four lanes at a time); each lane still adds its own values in order, so both paths give the same
// bits. Qt-free.
#pragma once

#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <cstdint>

namespace brevant {

inline constexpr int kGroupLanes = 8;

// Lane j reads first[j * stride + i] for i = 0..count-1 (count at least 1).
struct LaneGroup {
    const float* first = nullptr;
    std::int32_t stride = 0;
    std::int32_t count = 0;
};

// Lane j's sums: RunningSums(precision).Sum() and Squares() over its values in order, and whether they all
// equal its first.
struct GroupLaneSums {
    double sum[kGroupLanes];
    double squares[kGroupLanes];
    bool constant[kGroupLanes];
};

// The sums of the lanes of a and of b (on the AVX2 path side by side while both have values).
void SumGroupLanes(DrawPath path, SumPrecision precision, const LaneGroup& a, const LaneGroup& b, GroupLaneSums& sumsA,
                   GroupLaneSums& sumsB) noexcept;

}  // namespace brevant
