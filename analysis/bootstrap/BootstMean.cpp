#include "analysis/bootstrap/BootstMean.h"

#include "analysis/Parallel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BREVANT_BOOTSTMEAN_X86 1
#endif

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <string>

namespace brevant {

namespace {

constexpr std::size_t kLanes = kBootstMeanLanes;

// The baseline: one RunningSums per lane, the lanes side by side so that their chains overlap.
void SumLanesBaseline(SumPrecision precision, const float* drawn, std::int32_t n, ResampleLaneSums& out) noexcept {
    RunningSums running[kLanes] = {
        RunningSums(precision), RunningSums(precision), RunningSums(precision), RunningSums(precision),
        RunningSums(precision), RunningSums(precision), RunningSums(precision), RunningSums(precision),
        RunningSums(precision), RunningSums(precision), RunningSums(precision), RunningSums(precision),
        RunningSums(precision), RunningSums(precision), RunningSums(precision), RunningSums(precision)};
    bool constant[kLanes];
    for (std::size_t j = 0; j < kLanes; ++j) constant[j] = true;
    const auto size = static_cast<std::size_t>(n);
    for (std::size_t i = 0; i < size; ++i) {
        for (std::size_t j = 0; j < kLanes; ++j) {
            const float x = drawn[j * size + i];
            running[j].Add(x);
            constant[j] &= x == drawn[j * size];
        }
    }
    for (std::size_t j = 0; j < kLanes; ++j) {
        out.sum[j] = running[j].Sum();
        out.squares[j] = running[j].Squares();
        out.constant[j] = constant[j];
    }
}

#ifdef BREVANT_BOOTSTMEAN_X86

// The same sums in AVX2 lanes, two registers of eight resamples: every lane does exactly the baseline's
// operations (a float addition; the square formed in double, added in double and, for single sums, rounded
// to float), so the bits agree. No fused multiply-add: the square is rounded on its own.
struct Doubles {
    __m256d low, high;  // lanes 0-3 and 4-7 of a register of eight
};

__attribute__((target("avx2"))) inline Doubles Widen(__m256 v) {
    return {_mm256_cvtps_pd(_mm256_castps256_ps128(v)), _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1))};
}
__attribute__((target("avx2"))) inline Doubles RoundToFloat(Doubles d) {
    return {_mm256_cvtps_pd(_mm256_cvtpd_ps(d.low)), _mm256_cvtps_pd(_mm256_cvtpd_ps(d.high))};
}
__attribute__((target("avx2"))) inline Doubles AddSquares(Doubles sums, __m256 x) {
    const Doubles w = Widen(x);
    return {_mm256_add_pd(sums.low, _mm256_mul_pd(w.low, w.low)), _mm256_add_pd(sums.high, _mm256_mul_pd(w.high, w.high))};
}
__attribute__((target("avx2"))) inline Doubles AddValues(Doubles sums, __m256 x) {
    const Doubles w = Widen(x);
    return {_mm256_add_pd(sums.low, w.low), _mm256_add_pd(sums.high, w.high)};
}
__attribute__((target("avx2"))) inline void StoreDoubles(Doubles d, double* out) {
    _mm256_storeu_pd(out, d.low);
    _mm256_storeu_pd(out + 4, d.high);
}

template <bool kSingle>
__attribute__((target("avx2"))) void SumLanesAvx2(const float* drawn, std::int32_t n, ResampleLaneSums& out) noexcept {
    static_assert(kLanes == 16);
    const __m256d zero = _mm256_setzero_pd();
    __m256 single0 = _mm256_setzero_ps(), single1 = _mm256_setzero_ps();  // single sums
    Doubles sum0{zero, zero}, sum1{zero, zero};                          // double sums
    Doubles squares0{zero, zero}, squares1{zero, zero};
    // Lane j reads resample j's values, n apart.
    const __m256i columns = _mm256_mullo_epi32(_mm256_set1_epi32(n), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    const float* const second = drawn + 8 * static_cast<std::size_t>(n);
    const __m256 first0 = _mm256_i32gather_ps(drawn, columns, 4), first1 = _mm256_i32gather_ps(second, columns, 4);
    __m256 constant0 = _mm256_castsi256_ps(_mm256_set1_epi32(-1)), constant1 = constant0;
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        const __m256 x0 = _mm256_i32gather_ps(drawn + i, columns, 4);
        const __m256 x1 = _mm256_i32gather_ps(second + i, columns, 4);
        constant0 = _mm256_and_ps(constant0, _mm256_cmp_ps(x0, first0, _CMP_EQ_OQ));
        constant1 = _mm256_and_ps(constant1, _mm256_cmp_ps(x1, first1, _CMP_EQ_OQ));
        squares0 = AddSquares(squares0, x0);
        squares1 = AddSquares(squares1, x1);
        if constexpr (kSingle) {
            single0 = _mm256_add_ps(single0, x0);
            single1 = _mm256_add_ps(single1, x1);
            squares0 = RoundToFloat(squares0);
            squares1 = RoundToFloat(squares1);
        } else {
            sum0 = AddValues(sum0, x0);
            sum1 = AddValues(sum1, x1);
        }
    }
    if constexpr (kSingle) {
        sum0 = Widen(single0);
        sum1 = Widen(single1);
    }
    StoreDoubles(sum0, out.sum);
    StoreDoubles(sum1, out.sum + 8);
    StoreDoubles(squares0, out.squares);
    StoreDoubles(squares1, out.squares + 8);
    alignas(32) float masks[kLanes];
    _mm256_store_ps(masks, constant0);
    _mm256_store_ps(masks + 8, constant1);
    for (std::size_t j = 0; j < kLanes; ++j) out.constant[j] = std::bit_cast<std::uint32_t>(masks[j]) != 0;
}

#endif

// out[k] = source[Index(n) - 1] for the draws in order: Index(n) = floor(u * (n - 0.0001) + 1), >= 1.
inline void ValuesFrom(std::span<const double> draws, const float* source, double scale, float* out) noexcept {
    for (const double u : draws) *out++ = source[static_cast<std::int32_t>(u * scale + 1.0) - 1];
}

#ifdef BREVANT_BOOTSTMEAN_X86
// The same in AVX2 lanes, eight values at a time: each lane does the scalar operations (the product, the
// sum, the truncation), then the values are gathered from the source.
__attribute__((target("avx2"))) void ValuesFromAvx2(std::span<const double> draws, const float* source,
                                                    double scale, float* out) noexcept {
    const std::size_t count = draws.size();
    const double* const u = draws.data();
    const __m256d factor = _mm256_set1_pd(scale), one = _mm256_set1_pd(1.0);
    const float* const before = source - 1;  // positions 1..n
    std::size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        const __m256d a = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(u + k), factor), one);
        const __m256d b = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(u + k + 4), factor), one);
        const __m256i positions = _mm256_set_m128i(_mm256_cvttpd_epi32(b), _mm256_cvttpd_epi32(a));
        _mm256_storeu_ps(out + k, _mm256_i32gather_ps(before, positions, 4));
    }
    ValuesFrom(draws.subspan(k), source, scale, out + k);
}
#endif

// Observed mean, variance and standard error of the mean, each stored as a float. `shift` is added back to
// the mean of centred values.
struct Observed {
    float mean, variance, standardError;
};
Observed ObservedFigures(const std::vector<float>& values, SumPrecision sums, double shift = 0.0) {
    const auto n = static_cast<std::int32_t>(values.size());
    Observed o{};
    o.mean = shift == 0.0 ? static_cast<float>(ArrayMean(values, sums))
                          : static_cast<float>(shift + ArrayMean(values, sums));
    o.variance = static_cast<float>(ArrayVariance(values, sums));
    o.standardError = static_cast<float>(std::sqrt(static_cast<double>(o.variance) / static_cast<double>(n)));
    return o;
}

ResultBox ObtainedMeanBox(float mean) {
    return {"txtMean", "label1", "Obtained Mean", mean, BoxFormat::ThreeDecimals};
}

}  // namespace

void DrawResampleLanes(DrawPath path, BlockGenerator& g, std::span<const float> roundedSource, float* drawn) noexcept {
    const auto n = static_cast<std::int32_t>(roundedSource.size());
    const double scale = static_cast<double>(n) - 0.0001;
    for (std::size_t left = kLanes * static_cast<std::size_t>(n); left != 0;) {
        const std::span<const double> draws = g.Take(left);
#ifdef BREVANT_BOOTSTMEAN_X86
        if (path == DrawPath::Avx2) {
            ValuesFromAvx2(draws, roundedSource.data(), scale, drawn);
        } else {
            ValuesFrom(draws, roundedSource.data(), scale, drawn);
        }
#else
        (void)path;
        ValuesFrom(draws, roundedSource.data(), scale, drawn);
#endif
        drawn += draws.size();
        left -= draws.size();
    }
}

void SumResampleLanes(DrawPath path, SumPrecision precision, const float* drawn, std::int32_t n,
                      ResampleLaneSums& out) noexcept {
#ifdef BREVANT_BOOTSTMEAN_X86
    if (path == DrawPath::Avx2) {
        if (precision == SumPrecision::Single) {
            SumLanesAvx2<true>(drawn, n, out);
        } else {
            SumLanesAvx2<false>(drawn, n, out);
        }
        return;
    }
#endif
    (void)path;
    SumLanesBaseline(precision, drawn, n, out);
}

BootstMeanData ReadBootstMeanData(DataFile& file) {
    BootstMeanData data;
    // Read as any count, so that too few values for a standard error are refused in plain words.
    const std::int32_t n = file.ReadCount("the number of values", 0, kMaxDataValues);
    if (n < 2) RefuseData(file, "announces " + ValueCount(n) + "; a standard error needs at least 2 values.");
    data.values = file.ReadValues(static_cast<std::size_t>(n), "a value");
    data.sums = SumsFor(n, kBootstMeanDesignedValues);

    double largestSquare = 0.0;
    for (const float v : data.values) largestSquare = std::max(largestSquare, static_cast<double>(v) * v);
    CheckSumsOfSquaresFit(file, largestSquare * n);
    if (AllEqual(data.values)) {
        RefuseData(file, "holds values that are all equal, so the standard error is 0 and the bootstrap t is "
                         "undefined.");
    }
    CentreIfNeeded(data);
    return data;
}

void CentreIfNeeded(BootstMeanData& data) {
    const double mean = ExactMean(data.values);
    const double variance = ExactVariance(data.values);
    const Observed o = ObservedFigures(data.values, data.sums);
    PrecisionCheck check(data.sums);
    check.Location(o.mean, mean, std::sqrt(variance));
    check.Spread(o.standardError, std::sqrt(variance / static_cast<double>(data.values.size())));
    check.Conditioning(data.values);
    check.TextRounding(data.values, std::sqrt(variance));
    if (!check.Centred()) return;
    data.centred = true;
    data.shift = mean;
    data.sums = check.Sums();
    ShiftValues(data.values, mean);
}

std::vector<ResultBox> ObservedBootstMeanBoxes(const BootstMeanData& data) {
    return {ObtainedMeanBox(ObservedFigures(data.values, data.sums, data.shift).mean)};
}

BootstMeanResult RunBootstMean(const BootstMeanData& data, const RunSettings& settings, Generator& generator,
                               RunControl& control, DrawPath path) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;
    const auto n = static_cast<std::int32_t>(data.values.size());

    BootstMeanResult result;
    result.centred = data.centred;
    const Observed o = ObservedFigures(data.values, data.sums, data.shift);
    result.mean = o.mean;
    result.variance = o.variance;
    result.standardError = o.standardError;

    // Every drawn value passes through its 7-significant-digit text (not in a centred run): round the source once.
    const std::vector<float> rounded = data.centred ? data.values : RoundedCopy(data.values);
    result.sortedT.assign(static_cast<std::size_t>(R), 0.0f);
    result.bootstrapMeans.assign(static_cast<std::size_t>(R), 0.0f);

    // The draw and the sums of each resample in one pass: no work array. Each resample draws n values
    // afresh from the data, so the resamples split across threads.
    const float* const source = rounded.data();
    float* const tOut = result.sortedT.data();
    float* const meanOut = result.bootstrapMeans.data();
    // A centred run measures each bootstrap mean from the mean of the deviations and adds the shift back.
    const double observedMean = data.centred ? ArrayMean(data.values, data.sums) : o.mean;
    const double shift = data.shift;
    const bool centred = data.centred;
    const double size = n;
    const SumPrecision sums = data.sums;
    // One resample: its figures from the sums of the values drawn, in the order drawn (the mean and the
    // sample variance by the one-pass sums formula, as RunningSums gives them).
    const auto finish = [&](std::int32_t k, double sum, double squares, bool constant) {
        const double m = sum / size;
        const double v = (squares - sum * sum / size) / static_cast<double>(n - 1);
        tOut[k] = constant || !(v > 0.0) ? ZeroSpreadQuotient(m - observedMean)
                                         : static_cast<float>((m - observedMean) / std::sqrt(v / size));
        meanOut[k] = centred ? static_cast<float>(shift + m) : static_cast<float>(m);
    };
    ResamplesInParallel(R, static_cast<std::uint64_t>(n), settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        // Each resample's sums are one chain of roundings in draw order; kLanes resamples drawn first and
        // summed side by side, each in its own lane, let their chains overlap, each still in its own order.
        // Past kBatchedDrawsLimit draws a resample goes alone, so a cancel is still seen quickly.
        const bool batched = n <= kBatchedDrawsLimit;
        std::vector<float> drawn(batched ? kLanes * static_cast<std::size_t>(n) : 0);
        ResampleLaneSums lanes;
        std::int32_t k = begin;
        for (; batched && end - k >= kBootstMeanLanes; k += kBootstMeanLanes) {
            DrawResampleLanes(path, g, rounded, drawn.data());
            SumResampleLanes(path, sums, drawn.data(), n, lanes);
            for (std::size_t j = 0; j < kLanes; ++j) {
                finish(k + static_cast<std::int32_t>(j), lanes.sum[j], lanes.squares[j], lanes.constant[j]);
                if (!tick()) return;
            }
        }
        for (; k < end; ++k) {
            RunningSums running(sums);
            const float first = source[g.Index(n) - 1];
            running.Add(first);
            bool constant = true;
            for (std::int32_t i = 1; i < n; ++i) {
                const float x = source[g.Index(n) - 1];
                running.Add(x);
                constant &= x == first;
            }
            finish(k, running.Sum(), running.Squares(), constant);
            if (!tick()) return;
        }
    });

    // Ascending, NaN last (the engine's sort puts NaNs behind everything, in the order they had).
    result.nonFiniteT = CountNonFinite(result.sortedT);
    SortResampledValues(result.sortedT, control);

    result.positions = NearestPercentilePositions(R, settings.confidence);
    const float tUpper = result.sortedT[static_cast<std::size_t>(result.positions.upper - 1)];
    const float tLower = result.sortedT[static_cast<std::size_t>(result.positions.lower - 1)];
    result.lowerLimit = result.mean - tUpper * result.standardError;
    result.upperLimit = result.mean - tLower * result.standardError;

    result.bootstrapSpread = ResampledStandardError(result.bootstrapMeans);
    result.bootstrapStandardError = result.bootstrapSpread.standardError;
    return result;
}

RunResult PresentBootstMean(BootstMeanResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedMeanBox(r.mean),
        {"LowerCL", "Label2", "Lower CI", r.lowerLimit, BoxFormat::ThreeDecimals},
        {"UpperCL", "Label3", "Upper CI", r.upperLimit, BoxFormat::ThreeDecimals},
        {"txtStError", "Label6", "St. Error of Bootstrap Distribution", r.bootstrapStandardError,
         BoxFormat::ThreeDecimals},
    };
    run.histogram = {.caption = "Bootstrapped Mean",
                     .observed = r.mean,
                     .observedLabel = "Obtained Mean",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower CI", "Upper CI"}};
    const NonFiniteCount& nf = r.nonFiniteT;
    if (nf.Total() > 0) {
        run.notes.push_back(
            std::to_string(nf.Total()) + " of the " + ResampleCount(settings.resamples) +
            " drew values with no spread, so their studentized distance is undefined: " +
            std::to_string(nf.positiveInfinite) + " sorted as +inf, " + std::to_string(nf.negativeInfinite) +
            " as -inf and " + std::to_string(nf.undefined) +
            " (mean equal to the observed mean) as nan after all others. A limit read from one of them shows "
            "as inf, -inf or nan.");
    }
    if (r.centred) run.notes.push_back(kCentredRunNote);
    if (r.bootstrapSpread.corrected) run.notes.push_back(CorrectedSpreadNote("bootstrap means", r.bootstrapSpread));
    run.resampled = std::move(r.bootstrapMeans);
    return run;
}

RunResult BootstMeanProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control) {
    CheckNearestPercentileSettings(settings.resamples, settings.confidence);
    return PresentBootstMean(RunBootstMean(ReadBootstMeanData(file), settings, generator, control), settings);
}

}  // namespace brevant
