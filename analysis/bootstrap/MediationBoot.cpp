#include "analysis/bootstrap/MediationBoot.h"

#include "analysis/DrawnRows.h"
#include "analysis/Parallel.h"

#include <algorithm>
#include <cmath>

namespace brevant {

namespace {

ResultBox ObtainedBBox(float b) { return MakeBox(kMediationBootBoxes[0], b); }

// What one case adds to the eight running sums: its values and their squares and cross products, the
// latter formed in double from the floats (exact), once per run instead of once per draw. Single sums of X,
// Y and Z are float sums, and a float addition is the double addition rounded to single, so all eight go
// in two groups of doubles.
constexpr int kTerms = 8;
enum Term { kX, kY, kZ, kYZ, kXX, kYY, kZZ, kXY };

std::vector<double> TermsOf(const MediationBootData& data) {
    std::vector<double> terms(data.x.size() * kTerms);
    for (std::size_t i = 0; i < data.x.size(); ++i) {
        const double x = data.x[i], y = data.y[i], z = data.z[i];
        const double row[kTerms] = {x, y, z, y * z, x * x, y * y, z * z, x * y};
        std::copy(row, row + kTerms, terms.begin() + static_cast<std::ptrdiff_t>(i * kTerms));
    }
    return terms;
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
void ResampleLoop(const std::vector<double>& terms, SumPrecision precision, bool centred, float obtainedB,
                  std::int32_t R, int threads, Generator& generator, RunControl& control,
                  MediationBootResult& result) {
    const auto n = static_cast<std::int32_t>(terms.size() / kTerms);
    const double size = n;
    const RowTable table{terms.data(), 2, nullptr};
    float* const out = result.bootstrapValues.data();
    const std::optional<ResampleStop> stop = BootstrapPickedRows(
        R, n, precision, table, threads, generator, control,
        [&](std::int32_t k, const RowSums& sums, const std::int32_t* picked) {
            const double* const s = sums.doubles;
            // No variance: all drawn values equal, or (defined) a variance that is not a positive number. Double
            // sums of deviations from the means hold any spread: a centred run stops only on equal values.
            const auto flat = [&](Term column, float variance) {
                return (!centred && !(variance > 0.0f)) ||
                       SameInEveryPickedRow(terms.data() + column, kTerms, picked, n);
            };
            const float varX = Variance(s[kX], s[kXX], size);
            const float varY = Variance(s[kY], s[kYY], size);
            const float varZ = Variance(s[kZ], s[kZZ], size);
            const int column = flat(kX, varX) ? 0 : flat(kY, varY) ? 1 : flat(kZ, varZ) ? 2 : -1;
            if (column < 0) {
                out[k] = PathCoefficient(Covariance(s[kXY], s[kX], s[kY], size),
                                         Covariance(s[kYZ], s[kY], s[kZ], size), varX, varY, varZ);
            }
            return column;
        });
    if (stop) {
        throw RunStopped(NoVarianceMessage(kColumns[stop->reason], stop->resample + 1), {ObtainedBBox(obtainedB)});
    }
    // Values of b(xyz) beyond 1 in size, counted in generation order.
    for (const float b : result.bootstrapValues) {
        if (std::fabs(b) > 1.0f && result.illegalCount++ == 0) result.firstIllegal = b;
    }
}

// The obtained b(xyz), its two correlations and the three variances as defined and in double around the means;
// the columns as the run sums them. Centred, each column is shifted by its own mean (no correlation changes).
void CentreIfNeeded(MediationBootData& data) {
    const MediationFigures f = ComputeMediation(data);
    const ExactCorrelation xy = ExactCorrelationOf(data.x, data.y);
    const ExactCorrelation yz = ExactCorrelationOf(data.y, data.z);
    PrecisionCheck check(data.sums);
    check.Spread(f.varX, xy.varX);
    check.Spread(f.varY, xy.varY);
    check.Spread(f.varZ, yz.varY);
    check.Bounded(f.rXY, xy.r);
    check.Bounded(f.rYZ, yz.r);
    check.Bounded(f.b, xy.r * yz.r);
    data.centred = CentreEachColumn(check, ObtainedBBox(f.b), {&data.x, &data.y, &data.z});
    data.sums = check.Sums();
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

    const std::pair<const char*, const std::vector<float>*> columns[] = {
        {"X", &data.x}, {"Y", &data.y}, {"Z", &data.z}};
    for (const auto& [column, values] : columns) {
        if (AllEqual(*values)) {
            RefuseData(file, "has no variance in " + std::string(column) +
                                 " (its values are all equal), so the correlations are undefined.");
        }
    }
    CentreIfNeeded(data);
    const MediationFigures f = ComputeMediation(data);
    const std::pair<const char*, float> variances[] = {{"X", f.varX}, {"Y", f.varY}, {"Z", f.varZ}};
    for (const auto& [column, variance] : variances) {
        if (!std::isnormal(variance)) {
            RefuseData(file, "holds " + std::string(column) +
                                 " values whose variance is too small for single precision, so the correlations "
                                 "cannot be computed; multiply them by a power of ten first.");
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
    result.centred = data.centred;
    result.bootstrapValues.assign(static_cast<std::size_t>(R), 0.0f);
    ResampleLoop(TermsOf(data), data.sums, data.centred, result.obtainedB, R, settings.threads, generator, control,
                 result);

    result.spread = ResampledStandardError(result.bootstrapValues);
    result.standardError = result.spread.standardError;

    result.sorted = result.bootstrapValues;
    SortResampledValues(result.sorted, control);

    result.positions = IntegerPartPercentilePositions(R, settings.confidence);
    result.lowerLimit = result.sorted[static_cast<std::size_t>(result.positions.lower - 1)];
    result.upperLimit = result.sorted[static_cast<std::size_t>(result.positions.upper - 1)];
    return result;
}

RunResult PresentMediationBoot(MediationBootResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedBBox(r.obtainedB),
        MakeBox(kMediationBootBoxes[1], r.standardError),
        MakeBox(kMediationBootBoxes[2], r.lowerLimit),
        MakeBox(kMediationBootBoxes[3], r.upperLimit),
    };
    run.histogram = {.caption = "Bootstrapped Mediated Path Coefficient",
                     .observed = r.obtainedB,
                     .observedLabel = "Obtained b(xyz)",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower Conf. Limit", "Upper Conf. Limit"}};
    if (r.centred) run.notes.push_back(kCentredRunNote);
    if (r.spread.corrected) run.notes.push_back(CorrectedSpreadNote("bootstrap values of b(xyz)", r.spread));
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
