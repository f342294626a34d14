// Resamples that draw rows of a table: the draws taken as case numbers a block at a time, and the running
// sums over the drawn rows of several resamples side by side (analysis/lanes/RowSumLanes.h), each bit for bit
// the sums of its resample summed alone. Qt-free.
#pragma once

#include "analysis/Parallel.h"
#include "analysis/Procedure.h"
#include "analysis/lanes/RowSumLanes.h"
#include "engine/Module1.h"
#include "engine/UniformBlocks.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

namespace brevant {

// Index(m) - 1 for each of the next out.size() draws of g, in order: case numbers counted from 0.
void DrawIndices(DrawPath path, BlockGenerator& g, std::int32_t m, std::span<std::int32_t> out) noexcept;

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

// The double-precision references PrecisionCheck compares a correlation's figures with: both variances and
// the covariance by two passes around the means (ExactVariance, ExactCovariance), and r from them.
struct ExactCorrelation {
    double varX = 0, varY = 0, cov = 0, r = 0;
};
ExactCorrelation ExactCorrelationOf(std::span<const float> x, std::span<const float> y) noexcept;

// Whether a box's text, as the window shows it, reads as a number beyond 1 in size: a correlation or a
// product of correlations that no data can have.
bool ShownBeyondOne(const ResultBox& box);

// The end of a correlation's precision check, once its figures are compared: each column's conditioning,
// and an obtained box shown beyond 1 centres the run. A centred run shifts each column by its own mean
// (no correlation changes). Returns check.Centred().
bool CentreEachColumn(PrecisionCheck& check, const ResultBox& obtained, std::initializer_list<std::vector<float>*> columns);

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

// The bootstrap loop over a RowTable: R resamples of n rows drawn afresh (n draws each), split across
// threads; each batch's case numbers drawn in order, its sums formed side by side, then finish(k, sums,
// picked) for each resample k, which stores resample k's statistic and returns -1, or a reason (0 or more)
// to stop the run at k. The earliest stop in generation order wins on any number of threads: it is
// returned, with control counting the resamples before it and the generator after its draws, as a loop
// that stops there leaves them. Without a stop the generator ends after all R * n draws. Throws
// RunCancelled when control asks.
struct ResampleStop {
    std::int32_t resample = 0;  // 0-based
    int reason = 0;
};
// finish: int(std::int32_t k, const RowSums& sums, const std::int32_t* picked).
template <typename Finish>
std::optional<ResampleStop> BootstrapPickedRows(std::int32_t R, std::int32_t n, SumPrecision precision,
                                                const RowTable& table, int threads, Generator& generator,
                                                RunControl& control, const Finish& finish) {
    const DrawPath path = ActiveDrawPath();
    const Seeds start = generator.seeds;
    EarliestStop stop(R);
    ResamplesInParallel(R, static_cast<std::uint64_t>(n), threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        const std::int32_t step = n > kBatchedDrawsLimit ? 1 : kPickedRowsBatch;
        std::vector<std::int32_t> drawn(static_cast<std::size_t>(step) * static_cast<std::size_t>(n));
        for (std::int32_t k0 = begin; k0 < end; k0 += step) {
            if (stop.KnownBefore(k0)) return;  // an earlier resample stops the run
            const std::int32_t batch = std::min<std::int32_t>(step, end - k0);
            DrawIndices(path, g, n, std::span(drawn).first(static_cast<std::size_t>(batch) * static_cast<std::size_t>(n)));
            RowSums sums[kPickedRowsBatch];
            SumPickedRows(path, precision, table, drawn.data(), n, batch, sums);
            for (std::int32_t j = 0; j < batch; ++j) {
                const std::int32_t k = k0 + j;
                const int reason = finish(k, sums[j], drawn.data() + static_cast<std::ptrdiff_t>(j) * n);
                if (reason >= 0) {
                    stop.Record(k, reason);
                    return;
                }
                if (!tick()) return;
            }
        }
    });
    if (!stop.Found(R)) return std::nullopt;
    const std::int32_t k = stop.Resample();
    control.resamplesDone.store(k, std::memory_order_relaxed);  // those before the stop, as on one thread
    generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(k + 1) * static_cast<std::uint64_t>(n));
    return ResampleStop{k, stop.Reason()};
}


}  // namespace brevant
