#include "analysis/bootstrap/MediationBoot.h"

#include "analysis/Parallel.h"

#include <algorithm>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <cmath>

namespace brevant {

namespace {

ResultBox ObtainedBBox(float b) { return {"txtObtB", "label1", "Obtained  b(xyz)", b, BoxFormat::ThreeDecimals}; }

// No variance: all values equal, or a variance that is not a positive number.
bool NoVariance(bool allEqual, float variance) noexcept { return allEqual || !(variance > 0.0f); }

bool AllEqual(const std::vector<float>& column) {
    return std::all_of(column.begin(), column.end(), [&](float v) { return v == column.front(); });
}

// Two- and four-lane vectors (SSE2 on x86-64): the running sums of a resample advance side by side, each lane
// an ordinary IEEE addition, so every lane is bit for bit the scalar sum it stands for.
using Float4 = float __attribute__((vector_size(16)));
using Float2 = float __attribute__((vector_size(8)));
using Double2 = double __attribute__((vector_size(16)));
using Mask4 = std::int32_t __attribute__((vector_size(16)));

// What one case adds to the eight running sums: its values and their squares and cross products, the
// latter formed in double from the floats (exact), once per run instead of once per draw.
struct alignas(64) CaseTerms {
    Float4 values;        // x, y, z, 0
    Double2 squaresXY;    // x², y²
    Double2 squareZ_XY;   // z², x·y
    Double2 productYZ;    // y·z, 0
};

std::vector<CaseTerms> TermsOf(const MediationBootData& data) {
    std::vector<CaseTerms> terms(data.x.size());
    for (std::size_t i = 0; i < terms.size(); ++i) {
        const float xf = data.x[i], yf = data.y[i], zf = data.z[i];
        const double x = xf, y = yf, z = zf;
        terms[i] = {Float4{xf, yf, zf, 0.0f}, Double2{x * x, y * y}, Double2{z * z, x * y}, Double2{y * z, 0.0}};
    }
    return terms;
}

// The sums of one resample: those of ArrayVariance for each column and of ArrayCovariance for X with Y and
// Y with Z (whose sums of X, Y and Z are the same running sums).
struct ResampleSums {
    double sx = 0, sy = 0, sz = 0, qx = 0, qy = 0, qz = 0, pxy = 0, pyz = 0;
    bool equalX = true, equalY = true, equalZ = true;
};

// Adds in double, then (single sums) rounds each lane to float, as RunningSum does.
template <bool kSingle>
inline Double2 Accumulate(Double2 sum, Double2 term) noexcept {
    sum += term;
    if constexpr (kSingle) {
#if defined(__SSE2__)
        // The two conversions alone, without the zeroing of the upper half a two-float vector costs.
        sum = reinterpret_cast<Double2>(_mm_cvtps_pd(_mm_cvtpd_ps(reinterpret_cast<__m128d>(sum))));
#else
        sum = __builtin_convertvector(__builtin_convertvector(sum, Float2), Double2);
#endif
    }
    return sum;
}

// B resamples of N drawn cases each (resample b's case numbers, 0-based, at drawn + b * N), each summed in
// draw order as the columns of the bootstrap table would be. The B resamples' sums advance together: each
// sum is a chain of roundings, and independent chains keep the processor busy where one would wait on every
// rounding. With single sums the values are summed as floats (a float sum rounded after every addition is
// exactly that); with double sums they are widened first.
template <bool kSingle, int B>
void SumDrawn(const CaseTerms* cases, const std::int32_t* drawn, std::int32_t n, ResampleSums* out) noexcept {
    Float4 firstValues[B], values[B];
    Double2 valuesXY[B], valuesZ[B], squaresXY[B], squareZ_XY[B], productYZ[B];
    Mask4 equal[B];
    for (int b = 0; b < B; ++b) {
        const CaseTerms& first = cases[drawn[b * n]];
        firstValues[b] = first.values;
        // Each sum starts at 0 and adds the first value, as the engine's sums do (0 + -0 is +0).
        values[b] = Float4{} + firstValues[b];  // single sums of x, y, z
        valuesXY[b] = Double2{} + __builtin_convertvector(Float2{firstValues[b][0], firstValues[b][1]}, Double2);
        valuesZ[b] = Double2{} + Double2{static_cast<double>(firstValues[b][2]), 0.0};  // double sums
        squaresXY[b] = Accumulate<kSingle>(Double2{}, first.squaresXY);
        squareZ_XY[b] = Accumulate<kSingle>(Double2{}, first.squareZ_XY);
        productYZ[b] = Accumulate<kSingle>(Double2{}, first.productYZ);
        equal[b] = firstValues[b] == firstValues[b];
    }
    for (std::int32_t i = 1; i < n; ++i) {
        for (int b = 0; b < B; ++b) {
            const CaseTerms& c = cases[drawn[b * n + i]];
            if constexpr (kSingle) {
                values[b] += c.values;
            } else {
                valuesXY[b] += __builtin_convertvector(Float2{c.values[0], c.values[1]}, Double2);
                valuesZ[b] += Double2{static_cast<double>(c.values[2]), 0.0};
            }
            squaresXY[b] = Accumulate<kSingle>(squaresXY[b], c.squaresXY);
            squareZ_XY[b] = Accumulate<kSingle>(squareZ_XY[b], c.squareZ_XY);
            productYZ[b] = Accumulate<kSingle>(productYZ[b], c.productYZ);
            equal[b] &= c.values == firstValues[b];
        }
    }
    for (int b = 0; b < B; ++b) {
        ResampleSums& s = out[b];
        if constexpr (kSingle) {
            s.sx = values[b][0], s.sy = values[b][1], s.sz = values[b][2];
        } else {
            s.sx = valuesXY[b][0], s.sy = valuesXY[b][1], s.sz = valuesZ[b][0];
        }
        s.qx = squaresXY[b][0], s.qy = squaresXY[b][1], s.qz = squareZ_XY[b][0];
        s.pxy = squareZ_XY[b][1], s.pyz = productYZ[b][0];
        s.equalX = equal[b][0] != 0, s.equalY = equal[b][1] != 0, s.equalZ = equal[b][2] != 0;
    }
}

// The one-pass formulas of ArrayVariance and ArrayCovariance, stored as floats.
float Variance(double sum, double squares, double n) noexcept {
    return static_cast<float>((squares - sum * sum / n) / (n - 1.0));
}
float Covariance(double products, double sumA, double sumB, double n) noexcept {
    return static_cast<float>((products - sumA * sumB / n) / (n - 1.0));
}

float PathCoefficient(float covXY, float covYZ, float varX, float varY, float varZ) noexcept {
    const float rXY = MediationCorrelation(covXY, varY, varX);
    const float rYZ = MediationCorrelation(covYZ, varY, varZ);
    return rYZ * rXY;
}

// The columns checked for no variance, in the order they are named.
constexpr const char* kColumns[] = {"X", "Y", "Z"};

// Each resample draws N cases afresh, so the resamples split across threads. A resample with a column of no
// variance stops the run: the earliest such resample in generation order is the one reported, with the
// generator after its draws.
template <bool kSingle>
void ResampleLoop(const std::vector<CaseTerms>& terms, float obtainedB, std::int32_t R, int threads,
                  Generator& generator, RunControl& control, MediationBootResult& result) {
    const auto n = static_cast<std::int32_t>(terms.size());
    const double size = n;
    float* const out = result.bootstrapValues.data();
    const Seeds start = generator.seeds;
    EarliestStop stop(R);
    constexpr int kBatch = 4;
    ResamplesInParallel(R, static_cast<std::uint64_t>(n), threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        // Resamples go in batches: the N case numbers of each drawn in order, then the batch's sums together.
        std::vector<std::int32_t> drawn(static_cast<std::size_t>(kBatch) * static_cast<std::size_t>(n));
        const std::int32_t step = n > kBatchedDrawsLimit ? 1 : kBatch;
        for (std::int32_t k0 = begin; k0 < end; k0 += step) {
            if (stop.KnownBefore(k0)) return;  // an earlier resample stops the run
            const int batch = static_cast<int>(std::min<std::int32_t>(step, end - k0));
            const auto draws = static_cast<std::size_t>(batch) * static_cast<std::size_t>(n);
            for (std::int32_t& d : std::span(drawn).first(draws)) d = g.Index(n) - 1;
            ResampleSums sums[kBatch];
            if (batch == kBatch) {
                SumDrawn<kSingle, kBatch>(terms.data(), drawn.data(), n, sums);
            } else {
                for (int b = 0; b < batch; ++b) SumDrawn<kSingle, 1>(terms.data(), drawn.data() + b * n, n, &sums[b]);
            }
            for (int b = 0; b < batch; ++b) {
                const std::int32_t k = k0 + b;
                const ResampleSums& s = sums[b];
                const float varX = Variance(s.sx, s.qx, size);
                const float varY = Variance(s.sy, s.qy, size);
                const float varZ = Variance(s.sz, s.qz, size);
                const int flat = NoVariance(s.equalX, varX)   ? 0
                                 : NoVariance(s.equalY, varY) ? 1
                                 : NoVariance(s.equalZ, varZ) ? 2
                                                              : -1;
                if (flat >= 0) {
                    stop.Record(k, flat);
                    return;
                }
                out[k] = PathCoefficient(Covariance(s.pxy, s.sx, s.sy, size),
                                         Covariance(s.pyz, s.sy, s.sz, size), varX, varY, varZ);
                if (!tick()) return;
            }
        }
    });
    if (stop.Found(R)) {
        const std::int32_t k = stop.Resample();
        control.resamplesDone.store(k, std::memory_order_relaxed);  // those before the stop, as on one thread
        generator.seeds = JumpAhead(start, static_cast<std::uint64_t>(k + 1) * static_cast<std::uint64_t>(n));
        throw RunStopped(NoVarianceMessage(kColumns[stop.Reason()], k + 1), {ObtainedBBox(obtainedB)});
    }
    // Values of b(xyz) beyond 1 in size, counted in generation order.
    for (const float b : result.bootstrapValues) {
        if (std::fabs(b) > 1.0f && result.illegalCount++ == 0) result.firstIllegal = b;
    }
}

}  // namespace

float MediationCorrelation(float covariance, float varA, float varB) noexcept {
    const float product = varA * varB;
    const double root = std::isnormal(product)
                            ? std::sqrt(static_cast<double>(product))
                            : std::sqrt(static_cast<double>(varA) * static_cast<double>(varB));
    return static_cast<float>(static_cast<double>(covariance) / root);
}

std::string NoVarianceMessage(const char* column, std::int64_t resample) {
    return std::string(column) +
           " has no variance, which sometimes happens with very small samples. Process terminating with " +
           std::to_string(resample) + " resamples.";
}

MediationFigures ComputeMediation(const MediationBootData& data) {
    MediationFigures f;
    f.varX = static_cast<float>(ArrayVariance(data.x, data.sums));
    f.varY = static_cast<float>(ArrayVariance(data.y, data.sums));
    f.varZ = static_cast<float>(ArrayVariance(data.z, data.sums));
    f.covXY = static_cast<float>(ArrayCovariance(data.x, data.y, data.sums));
    f.covYZ = static_cast<float>(ArrayCovariance(data.y, data.z, data.sums));
    f.rXY = MediationCorrelation(f.covXY, f.varY, f.varX);
    f.rYZ = MediationCorrelation(f.covYZ, f.varY, f.varZ);
    f.b = f.rYZ * f.rXY;
    return f;
}

MediationBootData ReadMediationBootData(DataFile& file) {
    MediationBootData data;
    // Read as any count, so that too few cases for a correlation are refused in plain words.
    const std::int32_t n = file.ReadCount("the number of cases", 0, kMaxMediationCases);
    if (n < 2) {
        RefuseData(file, "announces " + std::to_string(n) + (n == 1 ? " case" : " cases") +
                             "; a correlation needs at least 2 cases.");
    }
    const std::vector<float> values = file.ReadValues(static_cast<std::size_t>(n) * 3, "X, Y and Z of the cases");
    data.x.reserve(static_cast<std::size_t>(n));
    data.y.reserve(static_cast<std::size_t>(n));
    data.z.reserve(static_cast<std::size_t>(n));
    double largestSquare = 0.0;
    for (std::size_t i = 0; i < values.size(); i += 3) {
        data.x.push_back(values[i]);
        data.y.push_back(values[i + 1]);
        data.z.push_back(values[i + 2]);
        for (std::size_t j = i; j < i + 3; ++j)
            largestSquare = std::max(largestSquare, static_cast<double>(values[j]) * values[j]);
    }
    data.sums = SumsFor(n, kMediationBootDesignedCases);
    CheckSumsOfSquaresFit(file, largestSquare * n);

    const MediationFigures f = ComputeMediation(data);
    const std::pair<const char*, bool> columns[] = {
        {"X", NoVariance(AllEqual(data.x), f.varX) || !std::isnormal(f.varX)},
        {"Y", NoVariance(AllEqual(data.y), f.varY) || !std::isnormal(f.varY)},
        {"Z", NoVariance(AllEqual(data.z), f.varZ) || !std::isnormal(f.varZ)},
    };
    for (const auto& [column, flat] : columns) {
        if (flat) {
            RefuseData(file, "has no variance in " + std::string(column) +
                                 " (its values are all equal, or differ too little for single precision), so "
                                 "the correlations are undefined.");
        }
    }
    return data;
}

std::vector<ResultBox> ObservedMediationBootBoxes(const MediationBootData& data) {
    return {ObtainedBBox(ComputeMediation(data).b)};
}

MediationBootResult RunMediationBoot(const MediationBootData& data, const RunSettings& settings,
                                     Generator& generator, RunControl& control) {
    CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
    const std::int32_t R = settings.resamples;

    MediationBootResult result;
    result.obtainedB = ComputeMediation(data).b;
    result.bootstrapValues.assign(static_cast<std::size_t>(R), 0.0f);
    const std::vector<CaseTerms> terms = TermsOf(data);
    if (data.sums == SumPrecision::Single) {
        ResampleLoop<true>(terms, result.obtainedB, R, settings.threads, generator, control, result);
    } else {
        ResampleLoop<false>(terms, result.obtainedB, R, settings.threads, generator, control, result);
    }

    const double spread = ArrayVariance(result.bootstrapValues, SumsFor(R, kDesignedResamples));
    result.negativeSpread = spread < 0.0;
    result.standardError = result.negativeSpread ? 0.0f : static_cast<float>(std::sqrt(spread));

    result.sorted = result.bootstrapValues;
    control.sortTotal.store(R, std::memory_order_relaxed);
    SortArray(result.sorted, [&control](std::int32_t done, std::int32_t) {
        control.sortDone.store(done, std::memory_order_relaxed);
    });
    control.sortDone.store(R, std::memory_order_relaxed);
    if (control.CancelRequested()) throw RunCancelled();

    result.positions = IntegerPartPercentilePositions(R, settings.confidence);
    result.lowerLimit = result.sorted[static_cast<std::size_t>(result.positions.lower - 1)];
    result.upperLimit = result.sorted[static_cast<std::size_t>(result.positions.upper - 1)];
    return result;
}

RunResult PresentMediationBoot(MediationBootResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedBBox(r.obtainedB),
        {"StErrBox", "Label6", "St. Error", r.standardError, BoxFormat::ThreeDecimals},
        {"LowerCI", "Label2", "Lower Conf. Limit", r.lowerLimit, BoxFormat::ThreeDecimals},
        {"UpperCI", "Label3", "Upper Conf. Limit", r.upperLimit, BoxFormat::ThreeDecimals},
    };
    run.histogram = {.caption = "Bootstrapped Mediated Path Coefficient",
                     .observed = r.obtainedB,
                     .observedLabel = "Obtained b(xyz)",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower Conf. Limit", "Upper Conf. Limit"}};
    if (r.negativeSpread) {
        run.notes.push_back("The bootstrap values of b(xyz) differ too little for single-precision sums: their "
                            "variance computes as negative, so the standard error is shown as 0.");
    }
    if (r.illegalCount > 0) {
        run.messages.push_back(IllegalValueMessage(kIllegalBxyzText, r.firstIllegal, r.illegalCount,
                                                   settings.resamples));
    }
    run.resampled = std::move(r.bootstrapValues);
    return run;
}

RunResult MediationBootProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                 RunControl& control) {
    CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
    return PresentMediationBoot(RunMediationBoot(ReadMediationBootData(file), settings, generator, control),
                                settings);
}

}  // namespace brevant
