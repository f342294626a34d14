// The running sums over the rows a resample picks from a table of terms, several resamples side by side.
//
// Where the sums are single, each addition is rounded to single before the next, so one resample's sum is a
// chain that waits on every rounding. Several resamples' chains advance together and the processor overlaps
// them; each still adds its own rows in its own order from 0, so its sums are bit for bit those of the
// resample summed alone (RunningSum). A baseline path and an AVX2 path (four doubles a lane group) give the
// same bits. Qt-free.
#pragma once

#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <cstdint>

namespace brevant {

// A table of rows of terms: groups (1 or 2) groups of four doubles, each added in double and, where the sums
// are single, rounded to single after every addition; and, where floats is set, four floats added as floats
// whatever the precision (a float addition is the double one rounded to single).
struct RowTable {
    const double* doubles = nullptr;  // row r at doubles + 4 * groups * r
    int groups = 1;
    const float* floats = nullptr;  // row r at floats + 4 * r
};

struct RowSums {
    double doubles[8] = {};
    float floats[4] = {};
};

// Resamples summed side by side: enough chains to cover the latency of an addition and its rounding (about
// sixteen cycles) at the rate the roundings issue, few enough that the sums stay in the sixteen AVX2
// registers (eight resamples of two groups, or of one group and the floats, just fit).
inline constexpr std::int32_t kRowSumsSideBySide = 8;

// For j in 0..count-1: out[j] = the sums of the rows picked[j * n + i], i = 0..n-1, added in that order.
void SumRowLanes(DrawPath path, SumPrecision precision, const RowTable& table, const std::int32_t* picked,
                 std::int32_t n, std::int32_t count, RowSums* out) noexcept;

}  // namespace brevant
