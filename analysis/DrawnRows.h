// Resamples that draw rows of a table: the draws taken as case numbers a block at a time, and the running
// sums over the drawn rows of several resamples side by side.
//
// Where the sums are single, each addition is rounded to single before the next, so one resample's sum is a
// chain that waits on every rounding. Several resamples' chains advance together and the processor overlaps
// them; each still adds its own rows in its own order from 0, so its sums are bit for bit those of the
// resample summed alone (RunningSum). An AVX2 path (four doubles a lane group) and a baseline path give the
// same bits. Qt-free.
#pragma once

#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace brevant {

// Index(m) - 1 for each of the next out.size() draws of g, in order: case numbers counted from 0.
void DrawIndices(DrawPath path, BlockGenerator& g, std::int32_t m, std::span<std::int32_t> out) noexcept;

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

// Resamples handed to SumPickedRows at once; a multiple of the number summed side by side.
inline constexpr std::int32_t kPickedRowsBatch = 8;

// For j in 0..count-1: out[j] = the sums of the rows picked[j * n + i], i = 0..n-1, added in that order.
void SumPickedRows(DrawPath path, SumPrecision precision, const RowTable& table, const std::int32_t* picked,
                   std::int32_t n, std::int32_t count, RowSums* out) noexcept;

// The rows of a correlation's five running sums (X, Y, X², Y², XY), the squares and the product formed in
// double from the floats (exact) once per run instead of once per draw. Single sums: X and Y as floats, the
// squares and the product as doubles rounded to single after every addition. Double sums: all five as
// doubles. Row r is formed from x[r * stride] and y[r * stride].
struct CorrelationRows {
    std::vector<double> doubles;
    std::vector<float> floats;
    RowTable table;
};
CorrelationRows CorrelationRowsOf(const float* x, const float* y, std::size_t stride, std::size_t n,
                                  SumPrecision precision);

// The five sums of one resample from its RowSums over CorrelationRows.
struct CorrelationTotals {
    double x = 0, y = 0, xx = 0, yy = 0, xy = 0;
};
CorrelationTotals CorrelationTotalsOf(const RowSums& sums, SumPrecision precision) noexcept;

// Whether the value at column (values[r * stride] for row r) is the same in every picked row; stops at the
// first difference, which mostly comes at once.
template <typename T>
bool SameInEveryPickedRow(const T* column, std::size_t stride, const std::int32_t* picked, std::int32_t n) noexcept {
    const T first = column[stride * static_cast<std::size_t>(picked[0])];
    for (std::int32_t i = 1; i < n; ++i) {
        if (!(column[stride * static_cast<std::size_t>(picked[i])] == first)) return false;
    }
    return true;
}

}  // namespace brevant
