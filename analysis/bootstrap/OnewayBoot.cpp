#include "analysis/bootstrap/OnewayBoot.h"

#include "analysis/Parallel.h"

#include <algorithm>
#include <string>

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

// The sums of B resamples of N values each (resample b's at drawn + b * N) formed together: each sum is a
// chain of roundings, and B resamples' independent chains keep the processor busy where one chain would
// wait on every rounding. Each resample's additions are OnewayF::Of's, in its order; F comes from FromSums.
template <typename S, int B>
class InterleavedF {
public:
    explicit InterleavedF(const OnewayData& groups)
        : sizes_(groups.sizes), k_(groups.sizes.size()), sums_(B * k_), squares_(B * k_) {}

    void Of(const float* drawn, std::int64_t N, OnewayF& computeF, float* out) noexcept {
        S grand[B] = {};
        bool constantWithin[B], sameFirsts[B];
        float firstOfAll[B];
        for (int b = 0; b < B; ++b) {
            constantWithin[b] = sameFirsts[b] = true;
            firstOfAll[b] = drawn[b * N];
        }
        const float* at = drawn;
        for (std::size_t j = 0; j < k_; ++j) {
            const std::int32_t n = sizes_[j];
            // A group's sums start from its first value; its squares are formed in double.
            S s[B], q[B];
            float first[B];
            bool constant[B];
            for (int b = 0; b < B; ++b) {
                first[b] = at[b * N];
                s[b] = static_cast<S>(first[b]);
                q[b] = static_cast<S>(static_cast<double>(first[b]) * static_cast<double>(first[b]));
                grand[b] = grand[b] + static_cast<S>(first[b]);
                constant[b] = true;
            }
            for (std::int32_t i = 1; i < n; ++i) {
                for (int b = 0; b < B; ++b) {
                    const float v = at[b * N + i];
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
                sameFirsts[b] &= first[b] == firstOfAll[b];
            }
            at += n;
        }
        for (int b = 0; b < B; ++b) {
            const std::span<const double> sums(sums_.data() + b * k_, k_), squares(squares_.data() + b * k_, k_);
            out[b] = computeF.FromSums(static_cast<double>(grand[b]), sums, squares, constantWithin[b],
                                       constantWithin[b] && sameFirsts[b]);
        }
    }

private:
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
        for (float& v : drawn) v = source[g.Index(N) - 1];
        interleaved.Of(drawn.data(), N, computeF, out + r);
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
        {"txtFPercent", "label5", "Percent => Fobt", r.proportion, BoxFormat::ThreeDecimals},
    };
    run.histogram = {"Bootstrapped F", r.obtainedF, std::pair{0.0f, 10.0f}};
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
