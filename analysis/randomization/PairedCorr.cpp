// GCC 12 pairs the X and Y sums below into vector operations and then, at -O3, takes the last sum of
// each before its rounding to single precision (at -O2 with a precision flag, every rounding): the
// figures would be off in the last bit. Without that pairing the loop is as fast (it waits on the draws).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("no-tree-slp-vectorize")
#endif

#include "analysis/randomization/PairedCorr.h"

#include "analysis/Parallel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BREVANT_PAIREDCORR_X86 1
#endif

#include <algorithm>
#include <type_traits>
#include <bit>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace brevant {

namespace {

// Above this size a finite r* is called illegal (compared in single precision).
constexpr float kIllegalBeyond = 1.01f;
const std::string kIllegalText = "This is an illegal value of r  ";

// The running sums of one correlation: those of ArrayVariance for each column and those of
// ArrayCovariance, whose sums of X and of Y are the variances' own (same values, order and precision). Sum
// is float or double: each addition is done in double and stored in Sum, which for float is the
// single-precision running sum.
template <typename Sum>
struct CorrelationSums {
    Sum sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    float firstX = 0, firstY = 0;
    bool constantX = true, constantY = true;

    void Add(float x, float y) noexcept {
        const double dx = x, dy = y;
        // A float plus a float rounded once is the double sum rounded to float: no conversions needed.
        sx = static_cast<Sum>(sx + static_cast<Sum>(x));
        sy = static_cast<Sum>(sy + static_cast<Sum>(y));
        sxx = static_cast<Sum>(static_cast<double>(sxx) + dx * dx);
        syy = static_cast<Sum>(static_cast<double>(syy) + dy * dy);
        sxy = static_cast<Sum>(static_cast<double>(sxy) + dx * dy);
    }
    void AddFirst(float x, float y) noexcept {
        firstX = x;
        firstY = y;
        Add(x, y);
    }
    void AddNext(float x, float y) noexcept {
        Add(x, y);
        constantX &= x == firstX;
        constantY &= y == firstY;
    }

    ColumnCorrelation Finish(std::int32_t n) const noexcept {
        const double size = n;
        const auto variance = [&](double sum, double squares) { return (squares - sum * sum / size) / (size - 1.0); };
        ColumnCorrelation c;
        c.varianceX = static_cast<float>(variance(sx, sxx));
        c.varianceY = static_cast<float>(variance(sy, syy));
        c.covariance =
            static_cast<float>((static_cast<double>(sxy) - static_cast<double>(sx) * sy / size) / (size - 1.0));
        const float product = c.varianceX * c.varianceY;
        c.zeroSpread = constantX || constantY || !(product > 0.0f);
        if (constantX || constantY) {
            c.r = ZeroSpreadQuotient(0.0);  // no spread and a covariance of exactly 0
        } else if (c.zeroSpread) {
            c.r = ZeroSpreadQuotient(c.covariance);
        } else {
            c.r = static_cast<float>(static_cast<double>(c.covariance) / std::sqrt(static_cast<double>(product)));
        }
        return c;
    }
};

// One pass over the columns; column(i) is called once per case, in case order.
template <typename Sum, typename Column>
ColumnCorrelation CorrelateIn(std::int32_t n, Column column) noexcept {
    CorrelationSums<Sum> sums;
    const auto [firstX, firstY] = column(0);
    sums.AddFirst(firstX, firstY);
    for (std::int32_t i = 1; i < n; ++i) {
        const auto [x, y] = column(i);
        sums.AddNext(x, y);
    }
    return sums.Finish(n);
}

// Resamples side by side. rows holds each case's X1, Y1, X2, Y2; picks[i * kSideBySide + j] is 2 where
// resample j takes case i's second pair, else 0. Each resample's sums still add its cases in order; the
// separate dependency chains of the resamples overlap.
template <typename Sum>
void CorrelateSideBySide(const float* rows, const std::int32_t* picks, std::int32_t n, float* out) noexcept {
    CorrelationSums<Sum> sums[kSideBySide];
    for (std::int32_t j = 0; j < kSideBySide; ++j) {
        const float* row = rows + picks[j];
        sums[j].AddFirst(row[0], row[1]);
    }
    for (std::size_t i = 1; i < static_cast<std::size_t>(n); ++i) {
        for (std::int32_t j = 0; j < kSideBySide; ++j) {
            const float* row = rows + 4 * i + picks[i * kSideBySide + static_cast<std::size_t>(j)];
            sums[j].AddNext(row[0], row[1]);
        }
    }
    for (std::int32_t j = 0; j < kSideBySide; ++j) out[j] = sums[j].Finish(n).r;
}

#ifdef BREVANT_PAIREDCORR_X86

// The same eight resamples in AVX2 lanes: every lane does exactly the scalar operations (float additions,
// double products and additions, each rounding to float where the scalar sum does), so the bits agree.
__attribute__((target("avx2"))) inline __m256d Low(__m256 v) { return _mm256_cvtps_pd(_mm256_castps256_ps128(v)); }
__attribute__((target("avx2"))) inline __m256d High(__m256 v) { return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)); }
__attribute__((target("avx2"))) inline __m256 ToFloat(__m256d low, __m256d high) {
    return _mm256_set_m128(_mm256_cvtpd_ps(high), _mm256_cvtpd_ps(low));
}

// A double sum in two halves of four lanes.
struct Halves {
    __m256d low, high;
};

template <typename Sum>
__attribute__((target("avx2"))) void CorrelateSideBySideAvx2(const float* rows, const std::int32_t* picks,
                                                             std::int32_t n, float* out) noexcept {
    static_assert(kSideBySide == 8);
    constexpr bool kSingle = std::is_same_v<Sum, float>;
    const __m256d zero = _mm256_setzero_pd();
    __m256 sx = _mm256_setzero_ps(), sy = _mm256_setzero_ps();  // single sums of X and Y
    Halves dx{zero, zero}, dy{zero, zero};                        // double sums of X and Y
    Halves sxx{zero, zero}, syy{zero, zero}, sxy{zero, zero};     // as doubles, rounded to float if single
    __m256 constantX = _mm256_castsi256_ps(_mm256_set1_epi32(-1)), constantY = constantX;
    __m256 firstX = _mm256_setzero_ps(), firstY = _mm256_setzero_ps();
    for (std::int32_t i = 0; i < n; ++i) {
        const __m256i at = _mm256_add_epi32(
            _mm256_set1_epi32(4 * i),
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(picks + 8 * static_cast<std::size_t>(i))));
        const __m256 x = _mm256_i32gather_ps(rows, at, 4);
        const __m256 y = _mm256_i32gather_ps(rows + 1, at, 4);
        const __m256d xl = Low(x), xh = High(x), yl = Low(y), yh = High(y);
        if (i == 0) {
            firstX = x;
            firstY = y;
        } else {
            constantX = _mm256_and_ps(constantX, _mm256_cmp_ps(x, firstX, _CMP_EQ_OQ));
            constantY = _mm256_and_ps(constantY, _mm256_cmp_ps(y, firstY, _CMP_EQ_OQ));
        }
        if constexpr (kSingle) {
            sx = _mm256_add_ps(sx, x);
            sy = _mm256_add_ps(sy, y);
        } else {
            dx = {_mm256_add_pd(dx.low, xl), _mm256_add_pd(dx.high, xh)};
            dy = {_mm256_add_pd(dy.low, yl), _mm256_add_pd(dy.high, yh)};
        }
        sxx = {_mm256_add_pd(sxx.low, _mm256_mul_pd(xl, xl)), _mm256_add_pd(sxx.high, _mm256_mul_pd(xh, xh))};
        syy = {_mm256_add_pd(syy.low, _mm256_mul_pd(yl, yl)), _mm256_add_pd(syy.high, _mm256_mul_pd(yh, yh))};
        sxy = {_mm256_add_pd(sxy.low, _mm256_mul_pd(xl, yl)), _mm256_add_pd(sxy.high, _mm256_mul_pd(xh, yh))};
        if constexpr (kSingle) {
            for (Halves* h : {&sxx, &syy, &sxy}) {
                const __m256 rounded = ToFloat(h->low, h->high);
                *h = {Low(rounded), High(rounded)};
            }
        }
    }
    alignas(32) double lanes[5][8];
    alignas(32) float singles[2][8];
    alignas(32) float constants[2][8];
    const Halves* const doubles[5] = {&dx, &dy, &sxx, &syy, &sxy};
    for (int q = 0; q < 5; ++q) {
        _mm256_store_pd(lanes[q], doubles[q]->low);
        _mm256_store_pd(lanes[q] + 4, doubles[q]->high);
    }
    _mm256_store_ps(singles[0], sx);
    _mm256_store_ps(singles[1], sy);
    _mm256_store_ps(constants[0], constantX);
    _mm256_store_ps(constants[1], constantY);
    for (int j = 0; j < 8; ++j) {
        CorrelationSums<Sum> sums;
        sums.sx = kSingle ? static_cast<Sum>(singles[0][j]) : static_cast<Sum>(lanes[0][j]);
        sums.sy = kSingle ? static_cast<Sum>(singles[1][j]) : static_cast<Sum>(lanes[1][j]);
        sums.sxx = static_cast<Sum>(lanes[2][j]);
        sums.syy = static_cast<Sum>(lanes[3][j]);
        sums.sxy = static_cast<Sum>(lanes[4][j]);
        sums.constantX = std::bit_cast<std::uint32_t>(constants[0][j]) != 0;
        sums.constantY = std::bit_cast<std::uint32_t>(constants[1][j]) != 0;
        out[j] = sums.Finish(n).r;
    }
}

#endif

}  // namespace

void CorrelateEightResamples(DrawPath path, SumPrecision precision, const float* rows, const std::int32_t* picks,
                             std::int32_t n, float* out) noexcept {
    const bool single = precision == SumPrecision::Single;
#ifdef BREVANT_PAIREDCORR_X86
    if (path == DrawPath::Avx2) {
        if (single) {
            CorrelateSideBySideAvx2<float>(rows, picks, n, out);
        } else {
            CorrelateSideBySideAvx2<double>(rows, picks, n, out);
        }
        return;
    }
#endif
    (void)path;
    if (single) {
        CorrelateSideBySide<float>(rows, picks, n, out);
    } else {
        CorrelateSideBySide<double>(rows, picks, n, out);
    }
}

namespace {

template <typename Column>
ColumnCorrelation Correlate(std::int32_t n, Column column, SumPrecision precision) noexcept {
    return precision == SumPrecision::Single ? CorrelateIn<float>(n, column) : CorrelateIn<double>(n, column);
}

ResultBox ObtainedRBox(float r) { return {"txtObtR", "label1", "Obtained r", r, BoxFormat::ThreeDecimals}; }

ColumnCorrelation ObservedCorrelation(const PairedCorrData& data) noexcept {
    return CorrelateColumns(data.x1, data.y1, data.sums);
}

}  // namespace

ColumnCorrelation CorrelateColumns(std::span<const float> x, std::span<const float> y, SumPrecision sums) noexcept {
    const auto n = static_cast<std::int32_t>(std::min(x.size(), y.size()));
    if (n < 2) {
        ColumnCorrelation none;
        none.zeroSpread = true;
        none.r = std::numeric_limits<float>::quiet_NaN();
        return none;
    }
    return Correlate(n, [&](std::int32_t i) { return std::pair{x[static_cast<std::size_t>(i)], y[static_cast<std::size_t>(i)]}; },
                     sums);
}

PairedCorrData ReadPairedCorrData(DataFile& file) {
    PairedCorrData data;
    // Read as any count, so that too few cases for a correlation are refused in plain words.
    const std::int32_t n = file.ReadCount("the number of cases", 0, kMaxDataValues);
    if (n < 2) RefuseData(file, "announces " + std::to_string(n) + (n == 1 ? " case" : " cases") +
                                "; a correlation needs at least 2 cases.");
    if (static_cast<std::int64_t>(n) * 4 > kMaxDataValues) {
        RefuseData(file, "announces " + std::to_string(n) + " cases (" + ValueCount(4LL * n) + "); at most " +
                             std::to_string(kMaxDataValues) + " values can be analysed.");
    }
    const std::vector<float> values =
        file.ReadValues(static_cast<std::size_t>(n) * 4, "X1, Y1, X2 and Y2 of each case");
    double largestX = 0.0, largestY = 0.0;
    for (std::size_t i = 0; i < values.size(); i += 4) {
        data.x1.push_back(values[i]);
        data.y1.push_back(values[i + 1]);
        data.x2.push_back(values[i + 2]);
        data.y2.push_back(values[i + 3]);
        for (std::size_t j = 0; j < 4; ++j) {
            double& largest = j % 2 == 0 ? largestX : largestY;
            largest = std::max(largest, static_cast<double>(values[i + j]) * values[i + j]);
        }
    }
    data.sums = SumsFor(n, kPairedCorrDesignedCases);
    // A resample can gather the largest squares of either pair in every case.
    CheckSumsOfSquaresFit(file, std::max(largestX, largestY) * n);

    const ColumnCorrelation c = ObservedCorrelation(data);
    if (c.zeroSpread || !std::isfinite(c.r)) {
        RefuseData(file, "has no spread in its X1 or its Y1 values (they are all equal, or differ too little for "
                         "single precision), so the obtained correlation is undefined.");
    }
    return data;
}

std::vector<ResultBox> ObservedPairedCorrBoxes(const PairedCorrData& data) {
    return {ObtainedRBox(ObservedCorrelation(data).r)};
}

PairedCorrResult RunPairedCorr(const PairedCorrData& data, const RunSettings& settings, Generator& generator,
                               RunControl& control) {
    CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;
    const std::int32_t n = data.Cases();

    PairedCorrResult result;
    result.observed = ObservedCorrelation(data);
    std::vector<float> randomized(static_cast<std::size_t>(R));

    // The draws and the sums of each resample in one pass: no column arrays.
    // Each case's four values side by side, so the pair a draw picks is found without a branch (which
    // would be mispredicted half the time).
    std::vector<float> rows(static_cast<std::size_t>(n) * 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        rows[4 * i] = data.x1[i];
        rows[4 * i + 1] = data.y1[i];
        rows[4 * i + 2] = data.x2[i];
        rows[4 * i + 3] = data.y2[i];
    }
    const float* const table = rows.data();
    float* const out = randomized.data();
    const auto size = static_cast<std::size_t>(n);
    const DrawPath path = ActiveDrawPath();
    // Each resample picks its pairs afresh from the data (n draws), so the resamples split across threads.
    // Within a share, eight consecutive resamples take their draws (consecutive in the stream) at once and
    // form their sums side by side.
    ResamplesInParallel(R, static_cast<std::uint64_t>(n), settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        std::vector<std::int32_t> picks(kSideBySide * size);  // int, not char: a char store could alias g
        std::int32_t k = begin;
        for (; k + kSideBySide <= end; k += kSideBySide) {
            for (std::size_t j = 0; j < static_cast<std::size_t>(kSideBySide); ++j) {
                for (std::size_t i = 0; i < size; ++i) {
                    picks[i * kSideBySide + j] = static_cast<float>(g.Uniform()) < 0.5f ? 0 : 2;
                }
            }
            CorrelateEightResamples(path, data.sums, table, picks.data(), n, out + k);
            for (std::int32_t j = 0; j < kSideBySide; ++j) {
                if (!tick()) return;
            }
        }
        for (; k < end; ++k) {
            // Each case's draw is made as the sums reach it, in case order, so the draws follow one another
            // exactly as in a separate pass.
            out[k] = Correlate(
                         n,
                         [&](std::int32_t i) {
                             const auto second = static_cast<std::size_t>(!(static_cast<float>(g.Uniform()) < 0.5f));
                             const float* row = table + 4 * static_cast<std::size_t>(i) + 2 * second;
                             return std::pair{row[0], row[1]};
                         },
                         data.sums)
                         .r;
            if (!tick()) return;
        }
    });
    std::int64_t illegal = 0;
    float firstIllegal = 0.0f;
    for (const float rStar : randomized) {
        if (std::isfinite(rStar) && std::fabs(rStar) > kIllegalBeyond && illegal++ == 0) firstIllegal = rStar;
    }
    result.illegalCount = illegal;
    result.firstIllegal = firstIllegal;
    result.nonFinite = CountNonFinite(randomized);

    // The standard deviation of the r* in generation order; all equal is no spread at all, whatever
    // single-precision sums make of it.
    const float firstValue = randomized.front();
    const bool allEqual = std::all_of(randomized.begin(), randomized.end(),
                                      [&](float v) { return std::bit_cast<std::uint32_t>(v) == std::bit_cast<std::uint32_t>(firstValue); });
    const double variance = ArrayVariance(randomized, SumsFor(R, kDesignedResamples));
    if (allEqual && std::isfinite(firstValue)) {
        result.standardError = 0.0f;
    } else {
        result.standardErrorNegative = variance < 0.0;
        result.standardError = static_cast<float>(std::sqrt(variance));  // NaN for a negative or NaN variance
    }

    control.sortTotal.store(R, std::memory_order_relaxed);
    SortArray(randomized, [&control](std::int32_t done, std::int32_t) {
        control.sortDone.store(done, std::memory_order_relaxed);
    });
    control.sortDone.store(R, std::memory_order_relaxed);
    if (control.CancelRequested()) throw RunCancelled();

    result.positions = IntegerPartPercentilePositions(R, settings.confidence);
    result.upperLimit = randomized[static_cast<std::size_t>(result.positions.upper - 1)];
    result.lowerLimit = randomized[static_cast<std::size_t>(result.positions.lower - 1)];
    result.sorted = std::move(randomized);
    return result;
}

RunResult PresentPairedCorr(PairedCorrResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedRBox(r.observed.r),
        {"txtLowerCI", "Label2", "Lower Conf. Limit", r.lowerLimit, BoxFormat::ThreeDecimals},
        {"txtUpperCI", "Label3", "Upper Conf. Limit", r.upperLimit, BoxFormat::ThreeDecimals},
        {"StErrBox", "Label6", "St. Error", r.standardError, BoxFormat::ThreeDecimals},
    };
    run.histogram = {.caption = "Randomized Correlation",
                     .observed = r.observed.r,
                     .bounds = std::pair{-5.0f, 5.0f},
                     .observedLabel = "Obtained r",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower Conf. Limit", "Upper Conf. Limit"}};
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        run.notes.push_back(
            std::to_string(nf.Total()) + " of the " + std::to_string(settings.resamples) +
            " resamples gathered an X or a Y column with no spread, so their r is undefined: " +
            std::to_string(nf.undefined) + " nan (sorted after all others), " + std::to_string(nf.positiveInfinite) +
            " inf and " + std::to_string(nf.negativeInfinite) +
            " -inf. A limit read from one of them shows as such, the standard error as nan, and the histogram "
            "leaves them out.");
    } else if (r.standardErrorNegative) {
        run.notes.push_back("The randomized correlations differ too little for single-precision sums: their "
                            "variance computes as negative, so the standard error is shown as nan.");
    }
    if (r.illegalCount > 0) {
        run.messages.push_back(IllegalValueMessage(kIllegalText, r.firstIllegal, r.illegalCount, settings.resamples));
    }
    run.resampled = std::move(r.sorted);
    return run;
}

RunResult PairedCorrProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control) {
    CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
    return PresentPairedCorr(RunPairedCorr(ReadPairedCorrData(file), settings, generator, control), settings);
}

}  // namespace brevant
