#include "analysis/bootstrap/OnewayBoot.h"

#include "analysis/Parallel.h"

#include <algorithm>
#include <string>
#include <type_traits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace brevant {

namespace {

std::vector<float> Errors(const OnewayData& groups) {
    const OnewayFigures observed = ComputeOnewayF(groups.values, groups.sizes, groups.sums);
    std::vector<float> errors;
    errors.reserve(groups.values.size());
    std::size_t at = 0;
    for (std::size_t j = 0; j < groups.sizes.size(); ++j) {
        for (std::int32_t i = 0; i < groups.sizes[j]; ++i) errors.push_back(groups.values[at++] - observed.means[j]);
    }
    return errors;
}

double LargestSquare(const std::vector<float>& values) {
    double largest = 0.0;
    for (const float v : values) largest = std::max(largest, static_cast<double>(v) * v);
    return largest;
}

// The sums of B resamples of N values each formed together (value i of resample b at drawn[i * B + b]):
// each sum is a chain of roundings, and B resamples' independent chains keep the processor busy where one
// chain would wait on every rounding. Each resample's additions are OnewayF::Of's, in its order; F comes
// from FromSums. Single sums of eight resamples go four lanes at a time (SSE2), each lane an ordinary IEEE
// operation, so every lane is bit for bit the scalar sum it stands for.
template <typename S, int B>
class InterleavedF {
public:
    explicit InterleavedF(const OnewayData& groups)
        : sizes_(groups.sizes), k_(groups.sizes.size()), sums_(B * k_), squares_(B * k_) {}

    void Of(const float* drawn, OnewayF& computeF, float* out) noexcept {
#if defined(__SSE2__)
        if constexpr (std::is_same_v<S, float> && B == 8) {
            OfInLanes(drawn, computeF, out);
            return;
        }
#endif
        S grand[B] = {};
        bool constantWithin[B], sameFirsts[B];
        for (int b = 0; b < B; ++b) constantWithin[b] = sameFirsts[b] = true;
        const float* at = drawn;
        for (std::size_t j = 0; j < k_; ++j) {
            const std::int32_t n = sizes_[j];
            // A group's sums start from its first value; its squares are formed in double.
            S s[B], q[B];
            float first[B];
            bool constant[B];
            for (int b = 0; b < B; ++b) {
                first[b] = at[b];
                s[b] = static_cast<S>(first[b]);
                q[b] = static_cast<S>(static_cast<double>(first[b]) * static_cast<double>(first[b]));
                grand[b] = grand[b] + static_cast<S>(first[b]);
                constant[b] = true;
            }
            for (std::int32_t i = 1; i < n; ++i) {
                for (int b = 0; b < B; ++b) {
                    const float v = at[i * B + b];
                    grand[b] = grand[b] + static_cast<S>(v);
                    s[b] = s[b] + static_cast<S>(v);
                    q[b] = static_cast<S>(static_cast<double>(q[b]) + static_cast<double>(v) * static_cast<double>(v));
                    constant[b] &= v == first[b];
                }
            }
            for (int b = 0; b < B; ++b) {
                sums_[b * k_ + j] = s[b];
                squares_[b * k_ + j] = q[b];
                constantWithin[b] &= constant[b];
                sameFirsts[b] &= first[b] == drawn[b];
            }
            at += static_cast<std::ptrdiff_t>(n) * B;
        }
        Finish(grand, constantWithin, sameFirsts, computeF, out);
    }

private:
    template <typename G>
    void Finish(const G* grand, const bool* constantWithin, const bool* sameFirsts, OnewayF& computeF,
                float* out) noexcept {
        for (int b = 0; b < B; ++b) {
            const std::span<const double> sums(sums_.data() + b * k_, k_), squares(squares_.data() + b * k_, k_);
            out[b] = computeF.FromSums(static_cast<double>(grand[b]), sums, squares, constantWithin[b],
                                       constantWithin[b] && sameFirsts[b]);
        }
    }

#if defined(__SSE2__)
    // Eight resamples' single sums: their values four to a register, the squares two to a register in double,
    // rounded to single after every addition as a float running sum is.
    static __m128 Load(const float* p) noexcept { return _mm_loadu_ps(p); }
    static __m128d Rounded(__m128d sum) noexcept { return _mm_cvtps_pd(_mm_cvtpd_ps(sum)); }
    static __m128d Low(__m128 v) noexcept { return _mm_cvtps_pd(v); }
    static __m128d High(__m128 v) noexcept { return _mm_cvtps_pd(_mm_movehl_ps(v, v)); }

    void OfInLanes(const float* drawn, OnewayF& computeF, float* out) noexcept {
        __m128 grand[2] = {_mm_setzero_ps(), _mm_setzero_ps()};
        bool constantWithin[8], sameFirsts[8];
        for (int b = 0; b < 8; ++b) constantWithin[b] = sameFirsts[b] = true;
        const float* at = drawn;
        for (std::size_t j = 0; j < k_; ++j) {
            const std::int32_t n = sizes_[j];
            const __m128 first[2] = {Load(at), Load(at + 4)};
            __m128 s[2], equal[2];
            __m128d q[4];
            for (int h = 0; h < 2; ++h) {
                s[h] = first[h];
                grand[h] = _mm_add_ps(grand[h], first[h]);
                const __m128d lo = Low(first[h]), hi = High(first[h]);
                q[2 * h] = Rounded(_mm_mul_pd(lo, lo));
                q[2 * h + 1] = Rounded(_mm_mul_pd(hi, hi));
                equal[h] = _mm_cmpeq_ps(first[h], first[h]);
            }
            for (std::int32_t i = 1; i < n; ++i) {
                for (int h = 0; h < 2; ++h) {
                    const __m128 v = Load(at + static_cast<std::ptrdiff_t>(i) * 8 + 4 * h);
                    grand[h] = _mm_add_ps(grand[h], v);
                    s[h] = _mm_add_ps(s[h], v);
                    const __m128d lo = Low(v), hi = High(v);
                    q[2 * h] = Rounded(_mm_add_pd(q[2 * h], _mm_mul_pd(lo, lo)));
                    q[2 * h + 1] = Rounded(_mm_add_pd(q[2 * h + 1], _mm_mul_pd(hi, hi)));
                    equal[h] = _mm_and_ps(equal[h], _mm_cmpeq_ps(v, first[h]));
                }
            }
            alignas(16) float sLanes[8], firstLanes[8];
            alignas(16) double qLanes[8];
            for (int h = 0; h < 2; ++h) {
                _mm_store_ps(sLanes + 4 * h, s[h]);
                _mm_store_ps(firstLanes + 4 * h, first[h]);
                _mm_store_pd(qLanes + 4 * h, q[2 * h]);
                _mm_store_pd(qLanes + 4 * h + 2, q[2 * h + 1]);
            }
            const int equalBits = _mm_movemask_ps(equal[0]) | (_mm_movemask_ps(equal[1]) << 4);
            for (int b = 0; b < 8; ++b) {
                sums_[b * k_ + j] = sLanes[b];
                squares_[b * k_ + j] = qLanes[b];
                constantWithin[b] &= (equalBits >> b & 1) != 0;
                sameFirsts[b] &= firstLanes[b] == drawn[b];
            }
            at += static_cast<std::ptrdiff_t>(n) * 8;
        }
        alignas(16) float grandLanes[8];
        _mm_store_ps(grandLanes, grand[0]);
        _mm_store_ps(grandLanes + 4, grand[1]);
        Finish(grandLanes, constantWithin, sameFirsts, computeF, out);
    }
#endif

    std::vector<std::int32_t> sizes_;
    std::size_t k_;
    std::vector<double> sums_, squares_;  // resample b's group j at b * k + j
};

// Resamples begin..end-1 of one share: B at a time, their N draws each in stream order, then their sums
// together; the few left over (all of them for very large N) one at a time.
template <typename S>
void OnewayShare(const OnewayData& groups, const float* source, std::int32_t begin, std::int32_t end,
                 BlockGenerator& g, const ResampleTick& tick, float* out) {
    constexpr int B = 8;
    const std::int32_t N = groups.Total();
    OnewayF computeF(groups.sizes, groups.sums);
    InterleavedF<S, B> interleaved(groups);
    std::vector<float> drawn(static_cast<std::size_t>(B) * static_cast<std::size_t>(N));
    std::int32_t r = begin;
    const std::int32_t batchedEnd = N > kBatchedDrawsLimit ? begin : end;
    for (; r + B <= batchedEnd; r += B) {
        for (std::int32_t b = 0; b < B; ++b) {
            for (std::int32_t i = 0; i < N; ++i) drawn[static_cast<std::size_t>(i) * B + b] = source[g.Index(N) - 1];
        }
        interleaved.Of(drawn.data(), computeF, out + r);
        for (int b = 0; b < B; ++b) {
            if (!tick()) return;
        }
    }
    for (; r < end; ++r) {
        for (std::int32_t i = 0; i < N; ++i) drawn[static_cast<std::size_t>(i)] = source[g.Index(N) - 1];
        out[r] = computeF.OfValues(drawn.data());
        if (!tick()) return;
    }
}

}  // namespace

OnewayBootData ReadOnewayBootData(DataFile& file) {
    OnewayBootData data;
    data.groups = ReadOnewayData(file);
    data.errors = Errors(data.groups);
    // A draw can put the largest value of the pool at every position.
    const double largest = std::max(LargestSquare(data.groups.values), LargestSquare(data.errors));
    CheckSumsOfSquaresFit(file, largest * static_cast<double>(data.groups.values.size()));
    RefuseOnewayWithoutSpread(file, data.groups);
    return data;
}

std::vector<ResultBox> ObservedOnewayBootBoxes(const OnewayBootData& data) {
    const OnewayData& g = data.groups;
    const OnewayFigures observed = ComputeOnewayF(g.values, g.sizes, g.sums);
    return {OnewayObtainedFBox(observed.f), OnewayEffectSizeBox(OnewayEffectSize(observed, g.sums))};
}

OnewayBootResult RunOnewayBoot(const OnewayBootData& data, const RunSettings& settings, bool bootstrapErrors,
                               Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    const std::int32_t R = settings.resamples;
    const OnewayData& groups = data.groups;
    const std::int32_t N = groups.Total();

    OnewayBootResult result;
    const OnewayFigures observed = ComputeOnewayF(groups.values, groups.sizes, groups.sums);
    result.obtainedF = observed.f;
    result.effectSize = OnewayEffectSize(observed, groups.sums);
    result.resampled.assign(static_cast<std::size_t>(R), 0.0f);

    // Every drawn value passes through its 7-significant-digit text: round the pool once.
    const std::vector<float> pool = RoundedCopy(bootstrapErrors ? data.errors : groups.values);
    const float* const source = pool.data();
    // Each resample draws N values afresh, so the resamples split across threads.
    const float obtained = result.obtainedF;
    float* const out = result.resampled.data();
    ResamplesInParallel(R, static_cast<std::uint64_t>(N), settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        if (groups.sums == SumPrecision::Single) {
            OnewayShare<float>(groups, source, begin, end, g, tick, out);
        } else {
            OnewayShare<double>(groups, source, begin, end, g, tick, out);
        }
    });
    const std::int64_t count = std::count_if(result.resampled.begin(), result.resampled.end(),
                                             [obtained](float f) { return f >= obtained; });

    result.count = count;
    result.proportion = static_cast<double>(count) / R;
    result.nonFinite = CountNonFinite(result.resampled);
    return result;
}

RunResult PresentOnewayBoot(OnewayBootResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        OnewayObtainedFBox(r.obtainedF),
        OnewayEffectSizeBox(r.effectSize),
        {"txtFPercent", "label5", "Percent => Fobt", r.proportion,
         BoxFormat::ThreeDecimals, BoxMeaning::Proportion},
    };
    run.histogram = {.caption = "Bootstrapped F",
                     .observed = r.obtainedF,
                     .bounds = std::pair{0.0f, 10.0f},
                     .observedLabel = "Obtained F",
                     .extreme = ExtremeRegion{ExtremeRegion::Tails::Upper, r.obtainedF}};
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        run.notes.push_back(OnewayNoSpreadNote(nf, settings.resamples, "drew values with no spread within any group"));
    }
    run.resampled = std::move(r.resampled);
    return run;
}

RunResult OnewayBootProcedure(DataFile& file, const RunSettings& settings, bool bootstrapErrors,
                              Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    return PresentOnewayBoot(RunOnewayBoot(ReadOnewayBootData(file), settings, bootstrapErrors, generator, control),
                             settings);
}

}  // namespace brevant
