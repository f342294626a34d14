// Rows of k values (2 to 8) each rearranged as ShuffleArray shuffles it from its k - 1 draws: a row's k - 1
// indices, read as one mixed-radix number, pick its new order from a table of all k! orders made once
// (to[t] = from[order[t]]), a few instructions a row instead of k - 1 swaps in memory, each waiting on the
// last. A baseline path and an AVX2 path give the same rows. Qt-free.
#pragma once

#include "engine/UniformBlocks.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace brevant {

class RowOrders {
public:
    explicit RowOrders(std::int32_t k);  // k! orders of 8 bytes
    // Every whole row of from into to, row r by the draws at draws + r (k - 1); to never overlaps from.
    void Apply(DrawPath path, const double* draws, std::span<const float> from, std::span<float> to) const;

private:
    std::int32_t Code(const double* draws) const noexcept;

    std::int32_t k_;
    std::vector<double> scales_;        // m - 0.0001 for the draw that picks 1..m, m = k, k - 1, .., 2
    std::vector<std::int32_t> weights_; // each index's place in the code
    std::int32_t firstCode_ = 0;        // the code of indices all 1: subtracted, so codes start at 0
    std::vector<std::uint8_t> orders_;  // eight bytes per code: order[t] for t < k, then t itself
    std::size_t lastRows_ = 0;          // rows at the end that the AVX2 path takes one lane at a time
};

}  // namespace brevant
