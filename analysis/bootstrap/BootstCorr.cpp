#include "analysis/bootstrap/BootstCorr.h"

#include "analysis/Parallel.h"

#include <algorithm>
#include <cmath>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <limits>
#include <type_traits>

namespace brevant {

namespace {

ResultBox ObtainedRBox(float r) { return {"txtObtR", "label1", "Obtained r", r, BoxFormat::ThreeDecimals}; }

bool AllEqual(const std::vector<float>& v) {
    return std::all_of(v.begin(), v.end(), [&](float x) { return x == v.front(); });
}

double LargestSquare(const std::vector<float>& v) {
    double largest = 0.0;
    for (const float x : v) largest = std::max(largest, static_cast<double>(x) * x);
    return largest;
}

// Every variance a resample can form stays below n / (n - 1) times the largest square of its column; their
// product must stay well inside the single-precision range, where it is rounded.
void CheckVarianceProductFits(const DataFile& file, const BootstCorrData& data) {
    const double n = static_cast<double>(data.x.size());
    const double bound = n / (n - 1.0) * LargestSquare(data.x) * (n / (n - 1.0) * LargestSquare(data.y));
    if (!(bound < kLargestSumOfSquares)) {
        RefuseData(file, "holds values too large for the single-precision product of the two variances; divide "
                         "the X or the Y values by a power of ten first.");
    }
}

struct Pair {
    float x, y;
};

// The five running sums of one resample, each addition done in double and stored in T: rounded to single
// after every addition when T is float, which gives bit for bit the engine's ArrayVariance and
// ArrayCovariance under SumPrecision::Single.
template <typename T>
struct PairSums {
    T sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
};

template <typename T>
inline void AddCase(PairSums<T>& s, Pair c) noexcept {
    const double x = c.x, y = c.y;
    s.sx = static_cast<T>(static_cast<double>(s.sx) + x);
    s.sy = static_cast<T>(static_cast<double>(s.sy) + y);
    s.sxx = static_cast<T>(static_cast<double>(s.sxx) + x * x);
    s.syy = static_cast<T>(static_cast<double>(s.syy) + y * y);
    s.sxy = static_cast<T>(static_cast<double>(s.sxy) + x * y);
}

// The sums of B resamples at once, their additions interleaved: each sum is a chain of roundings, and B
// independent chains keep the processor busy where one would wait on each rounding. drawn holds each
// resample's n case indices, resample j at drawn[j * n].
template <typename T, int B>
void SumResamples(const Pair* source, const std::int32_t* drawn, std::int32_t n, PairSums<T>* sums) noexcept {
    for (std::int32_t i = 0; i < n; ++i) {
        for (int j = 0; j < B; ++j) AddCase(sums[j], source[drawn[j * n + i]]);
    }
}

// Single sums two and four lanes at a time (SSE2 on x86-64): each lane an ordinary IEEE addition, so every
// lane is bit for bit the scalar sum it stands for. A float sum of x is the double sum rounded to single
// (the one rounding of a float addition); the squares and the product, formed exactly in double from the
// floats once per run, are added in double and rounded to single after every addition.
using Float4 = float __attribute__((vector_size(16)));
using Float2 = float __attribute__((vector_size(8)));
using Double2 = double __attribute__((vector_size(16)));

struct alignas(32) CaseTerms {
    Float4 values;     // x, y, 0, 0
    Double2 squares;   // x², y²
    Double2 product;   // x·y, 0
};

inline Double2 RoundedToSingle(Double2 sum) noexcept {
#if defined(__SSE2__)
    return reinterpret_cast<Double2>(_mm_cvtps_pd(_mm_cvtpd_ps(reinterpret_cast<__m128d>(sum))));
#else
    return __builtin_convertvector(__builtin_convertvector(sum, Float2), Double2);
#endif
}

template <int B>
void SumResamplesSingle(const CaseTerms* terms, const std::int32_t* drawn, std::int32_t n,
                        PairSums<float>* sums) noexcept {
    Float4 values[B];
    Double2 squares[B], product[B];
    for (int j = 0; j < B; ++j) values[j] = Float4{}, squares[j] = Double2{}, product[j] = Double2{};
    for (std::int32_t i = 0; i < n; ++i) {
        for (int j = 0; j < B; ++j) {
            const CaseTerms& c = terms[drawn[j * n + i]];
            values[j] += c.values;
            squares[j] = RoundedToSingle(squares[j] + c.squares);
            product[j] = RoundedToSingle(product[j] + c.product);
        }
    }
    for (int j = 0; j < B; ++j) {
        sums[j].sx = values[j][0], sums[j].sy = values[j][1];
        sums[j].sxx = static_cast<float>(squares[j][0]), sums[j].syy = static_cast<float>(squares[j][1]);
        sums[j].sxy = static_cast<float>(product[j][0]);
    }
}

// Whether every drawn case has the same value in the column; stops at the first difference, mostly at once.
bool SameInEveryDraw(const Pair* source, const std::int32_t* drawn, std::int32_t n, float Pair::*column) noexcept {
    const float first = source[drawn[0]].*column;
    for (std::int32_t i = 1; i < n; ++i) {
        if (!(source[drawn[i]].*column == first)) return false;
    }
    return true;
}

}  // namespace

float CorrelationFrom(float varX, float varY, float cov) noexcept {
    const float product = varY * varX;  // two singles: rounded to single
    return static_cast<float>(static_cast<double>(cov) / std::sqrt(static_cast<double>(product)));
}

CorrelationFigures Correlation(const std::vector<float>& x, const std::vector<float>& y, SumPrecision sums) {
    CorrelationFigures f;
    f.varX = static_cast<float>(ArrayVariance(x, sums));
    f.varY = static_cast<float>(ArrayVariance(y, sums));
    f.cov = static_cast<float>(ArrayCovariance(x, y, sums));
    f.r = CorrelationFrom(f.varX, f.varY, f.cov);
    return f;
}

std::string NoVarianceMessage(const std::string& column, std::int32_t resample) {
    return column + " has no variance, which sometimes happens with very small samples. Process terminating with " +
           std::to_string(resample) + " resamples.";
}

BootstCorrData ReadBootstCorrData(DataFile& file) {
    BootstCorrData data;
    const std::int32_t n = file.ReadCount("the number of cases", 0, kMaxDataValues / 2);
    if (n < 2) RefuseData(file, "announces " + std::to_string(n) + (n == 1 ? " case" : " cases") +
                                    "; a correlation needs at least 2 cases.");
    const std::vector<float> pairs = file.ReadValues(2 * static_cast<std::size_t>(n), "an X or Y value");
    data.x.reserve(static_cast<std::size_t>(n));
    data.y.reserve(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        data.x.push_back(pairs[i]);
        data.y.push_back(pairs[i + 1]);
    }
    data.sums = SumsFor(n, kBootstCorrDesignedCases);

    CheckSumsOfSquaresFit(file, LargestSquare(data.x) * n);
    CheckSumsOfSquaresFit(file, LargestSquare(data.y) * n);
    CheckVarianceProductFits(file, data);
    const CorrelationFigures f = Correlation(data.x, data.y, data.sums);
    const auto refuseFlat = [&file](const char* column) {
        RefuseData(file, std::string("holds ") + column +
                             " values with no variance (they are all equal, or differ too little for single "
                             "precision), so r is undefined.");
    };
    if (AllEqual(data.x) || !(f.varX > 0.0f)) refuseFlat("X");
    if (AllEqual(data.y) || !(f.varY > 0.0f)) refuseFlat("Y");
    // Below the smallest normal single the product keeps too few digits for r, and at 0 r is undefined.
    if (!(f.varY * f.varX >= std::numeric_limits<float>::min())) {
        RefuseData(file, "holds values whose variances are too small for single precision (their product "
                         "underflows), so r cannot be computed; multiply the X or the Y values by a power of ten "
                         "first.");
    }
    return data;
}

std::vector<ResultBox> ObservedBootstCorrBoxes(const BootstCorrData& data) {
    return {ObtainedRBox(Correlation(data.x, data.y, data.sums).r)};
}

BootstCorrResult RunBootstCorr(const BootstCorrData& data, const RunSettings& settings, Generator& generator,
                               RunControl& control) {
    CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;
    const auto n = static_cast<std::int32_t>(data.x.size());

    BootstCorrResult result;
    result.r = Correlation(data.x, data.y, data.sums).r;

    // Cases side by side, so a draw reads its X and Y together.
    std::vector<Pair> cases(static_cast<std::size_t>(n));
    std::vector<CaseTerms> terms(static_cast<std::size_t>(n));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        cases[i] = {data.x[i], data.y[i]};
        const double x = data.x[i], y = data.y[i];
        terms[i] = {Float4{data.x[i], data.y[i], 0.0f, 0.0f}, Double2{x * x, y * y}, Double2{x * y, 0.0}};
    }
    result.bootstrapR.assign(static_cast<std::size_t>(R), 0.0f);
    float* const out = result.bootstrapR.data();

    // Each resample draws n cases afresh, so the resamples split across threads. Within a share they go in
    // batches: the n case indices of each drawn in order, then the sums of the whole batch interleaved.
    constexpr int kBatch = 8;
    const Pair* const source = cases.data();
    const bool single = data.sums == SumPrecision::Single;
    const double size = n;
    const Seeds start = generator.seeds;
    EarliestStop stop(R);
    enum Flat { kFlatX, kFlatY };
    ResamplesInParallel(R, static_cast<std::uint64_t>(n), settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        std::vector<std::int32_t> drawn(static_cast<std::size_t>(kBatch) * static_cast<std::size_t>(n));
        const std::int32_t step = n > kBatchedDrawsLimit ? 1 : kBatch;
        for (std::int32_t k0 = begin; k0 < end; k0 += step) {
            if (stop.KnownBefore(k0)) return;  // an earlier resample stops the run
            const int b = static_cast<int>(std::min<std::int32_t>(step, end - k0));
            for (int j = 0; j < b; ++j) {
                std::int32_t* const d = drawn.data() + static_cast<std::ptrdiff_t>(j) * n;
                for (std::int32_t i = 0; i < n; ++i) d[i] = g.Index(n) - 1;
            }
            double sx[kBatch], sy[kBatch], sxx[kBatch], syy[kBatch], sxy[kBatch];
            const auto sum = [&](auto zero) {
                using T = decltype(zero);
                PairSums<T> s[kBatch];
                const auto at = [&](int j) { return drawn.data() + static_cast<std::ptrdiff_t>(j) * n; };
                if constexpr (std::is_same_v<T, float>) {
                    if (b == kBatch) {
                        SumResamplesSingle<kBatch>(terms.data(), drawn.data(), n, s);
                    } else {
                        for (int j = 0; j < b; ++j) SumResamplesSingle<1>(terms.data(), at(j), n, &s[j]);
                    }
                } else if (b == kBatch) {
                    SumResamples<T, kBatch>(source, drawn.data(), n, s);
                } else {
                    for (int j = 0; j < b; ++j) SumResamples<T, 1>(source, at(j), n, &s[j]);
                }
                for (int j = 0; j < b; ++j) {
                    sx[j] = s[j].sx, sy[j] = s[j].sy, sxx[j] = s[j].sxx, syy[j] = s[j].syy, sxy[j] = s[j].sxy;
                }
            };
            single ? sum(0.0f) : sum(0.0);
            for (int j = 0; j < b; ++j) {
                const std::int32_t k = k0 + j;
                const std::int32_t* const d = drawn.data() + static_cast<std::ptrdiff_t>(j) * n;
                // No variance: all drawn values equal, or a variance that computes as 0 or less in single.
                const auto varX = static_cast<float>((sxx[j] - sx[j] * sx[j] / size) / (size - 1.0));
                const auto varY = static_cast<float>((syy[j] - sy[j] * sy[j] / size) / (size - 1.0));
                const bool flatX = !(varX > 0.0f) || SameInEveryDraw(source, d, n, &Pair::x);
                if (flatX || !(varY > 0.0f) || SameInEveryDraw(source, d, n, &Pair::y)) {
                    stop.Record(k, flatX ? kFlatX : kFlatY);
                    return;
                }
                const auto cov = static_cast<float>((sxy[j] - sx[j] * sy[j] / size) / (size - 1.0));
                out[k] = CorrelationFrom(varX, varY, cov);
                if (!tick()) return;
            }
        }
    });
    if (stop.Found(R)) {
        // The generator after the stopping resample's draws, as a loop that stops there leaves it.
        const std::int32_t k = stop.Resample();
        control.resamplesDone.store(k, std::memory_order_relaxed);  // those before the stop, as on one thread
        generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(k + 1) * static_cast<std::uint64_t>(n));
        throw RunStopped(NoVarianceMessage(stop.Reason() == kFlatX ? "X" : "Y", k + 1), {ObtainedRBox(result.r)});
    }
    // Values of r beyond 1 in size, counted in generation order.
    for (const float r : result.bootstrapR) {
        if (std::fabs(r) > 1.0f && result.illegalCount++ == 0) result.firstIllegal = r;
    }

    const double spread = ArrayVariance(result.bootstrapR, SumsFor(R, kDesignedResamples));
    result.standardError =
        spread < 0.0 ? std::numeric_limits<float>::quiet_NaN() : static_cast<float>(std::sqrt(spread));

    result.nonFinite = CountNonFinite(result.bootstrapR);
    result.sortedR = result.bootstrapR;
    control.sortTotal.store(R, std::memory_order_relaxed);
    SortArray(result.sortedR, [&control](std::int32_t done, std::int32_t) {
        control.sortDone.store(done, std::memory_order_relaxed);
    });
    control.sortDone.store(R, std::memory_order_relaxed);
    if (control.CancelRequested()) throw RunCancelled();

    result.positions = IntegerPartPercentilePositions(R, settings.confidence);
    result.lowerLimit = result.sortedR[static_cast<std::size_t>(result.positions.lower - 1)];
    result.upperLimit = result.sortedR[static_cast<std::size_t>(result.positions.upper - 1)];
    return result;
}

RunResult PresentBootstCorr(BootstCorrResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedRBox(r.r),
        {"StErrBox", "Label6", "St. Error", r.standardError, BoxFormat::ThreeDecimals},
        {"LowerCI", "Label2", "Lower Conf. Limit", r.lowerLimit, BoxFormat::ThreeDecimals},
        {"UpperCI", "Label3", "Upper Conf. Limit", r.upperLimit, BoxFormat::ThreeDecimals},
    };
    run.histogram = {.caption = "Bootstrapped Correlations",
                     .observed = r.r,
                     .observedLabel = "Obtained r",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower Conf. Limit", "Upper Conf. Limit"}};
    if (r.illegalCount > 0) {
        run.messages.push_back(IllegalValueMessage(kIllegalRText, r.firstIllegal, r.illegalCount, settings.resamples));
    }
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        run.notes.push_back(std::to_string(nf.Total()) + " of the " + ResampleCount(settings.resamples) +
                            " drew X and Y values whose variances are so small that their single-precision "
                            "product is 0, so their r is undefined: " +
                            std::to_string(nf.positiveInfinite) + " sorted as +inf, " +
                            std::to_string(nf.negativeInfinite) + " as -inf and " + std::to_string(nf.undefined) +
                            " as nan after all others.");
    }
    if (std::isnan(r.standardError) && nf.Total() == 0) {
        run.notes.push_back("The bootstrap correlations differ too little for single-precision sums: the variance "
                            "of their distribution computes as negative, so its standard error is shown as nan.");
    }
    run.resampled = std::move(r.bootstrapR);
    return run;
}

RunResult BootstCorrProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control) {
    CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
    return PresentBootstCorr(RunBootstCorr(ReadBootstCorrData(file), settings, generator, control), settings);
}

}  // namespace brevant
