// The running sums of groups laid out one after the other (group 1's values, then group 2's, ...) for eight
// arrangements at once, interleaved: value i of arrangement b at v[8 i + b]. Per arrangement, the grand sum
// of every value in position order and each group's sum and sum of squares, as a one-way analysis of
// variance adds them one value at a time: float sums within the designed sizes, double past them, squares
// formed in double. The lanes' and the groups' chains of roundings run side by side; the baseline path (SSE2
// on x86-64, plain code elsewhere) and the AVX2 path give the same bits. Qt-free.
#pragma once

#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <cstdint>
#include <span>
#include <vector>

namespace brevant {

inline constexpr int kInterleavedLanes = 8;

class InterleavedGroupSums {
public:
    InterleavedGroupSums(std::span<const std::int32_t> sizes, SumPrecision precision, DrawPath path);

    // grand[b], and sums[8 j + b] and squares[8 j + b] for group j, of the eight arrangements at v (float
    // values under single sums).
    void Sum(const float* v, double* grand, double* sums, double* squares) const noexcept;

private:
    std::vector<std::int32_t> sizes_;
    std::int64_t total_ = 0;
    bool single_;
    DrawPath path_;
    std::vector<std::int32_t> passes_;  // the groups taken this many at a time, in order
    std::int32_t grandStep_ = 1;        // values the grand sum advances at each step of a pass
};

}  // namespace brevant
