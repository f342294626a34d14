#include "analysis/bootstrap/BootstCorr.h"

#include "analysis/DrawnRows.h"
#include "analysis/Parallel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <iterator>

namespace brevant {

namespace {

ResultBox ObtainedRBox(float r) { return MakeBox(kBootstCorrBoxes[0], r); }

double LargestSquare(const std::vector<float>& v) {
    double largest = 0.0;
    for (const float x : v) largest = std::max(largest, static_cast<double>(x) * x);
    return largest;
}

double LargestSquareAround(const std::vector<float>& v, double centre) {
    double largest = 0.0;
    for (const float x : v) largest = std::max(largest, (x - centre) * (x - centre));
    return largest;
}

// Every variance a resample can form stays below n / (n - 1) times the largest squared deviation of its column
// from any one value (a variance does not change with a shift), here the column's mean; their product must stay
// well inside the single-precision range, where it is rounded.
void CheckVarianceProductFits(const DataFile& file, const BootstCorrData& data) {
    const double n = static_cast<double>(data.x.size());
    const double bound = n / (n - 1.0) * LargestSquareAround(data.x, ExactMean(data.x)) *
                         (n / (n - 1.0) * LargestSquareAround(data.y, ExactMean(data.y)));
    if (!(bound < kLargestSumOfSquares)) {
        RefuseData(file, "holds values too large for the single-precision product of the two variances; divide "
                         "the X or the Y values by a power of ten first.");
    }
}

// The obtained r, its variances and covariance as defined and in double around the means; the columns as
// the run sums them. Centred, each column is shifted by its own mean (r does not change).
void CentreIfNeeded(BootstCorrData& data) {
    const CorrelationFigures f = Correlation(data.x, data.y, data.sums);
    const ExactCorrelation e = ExactCorrelationOf(data.x, data.y);
    PrecisionCheck check(data.sums);
    check.Spread(f.varX, e.varX);
    check.Spread(f.varY, e.varY);
    check.Bounded(f.r, e.r);
    data.centred = CentreEachColumn(check, ObtainedRBox(f.r), {&data.x, &data.y});
    data.sums = check.Sums();
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
    for (const auto& [column, values] : {std::pair{"X", &data.x}, std::pair{"Y", &data.y}}) {
        if (AllEqual(*values)) {
            RefuseData(file, std::string("holds ") + column + " values with no variance (they are all equal), so r "
                                                              "is undefined.");
        }
    }
    CheckVarianceProductFits(file, data);
    CentreIfNeeded(data);
    // Below the smallest normal single the product keeps too few digits for r, and at 0 r is undefined.
    const CorrelationFigures f = Correlation(data.x, data.y, data.sums);
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
    result.centred = data.centred;

    const CorrelationRows cases = CorrelationRowsOf(data.x.data(), data.y.data(), 1, data.x.size(), data.sums);
    result.bootstrapR.assign(static_cast<std::size_t>(R), 0.0f);
    float* const out = result.bootstrapR.data();

    // Each resample draws n cases afresh, so the resamples split across threads.
    const double size = n;
    const bool centred = data.centred;
    enum Flat { kFlatX, kFlatY };
    const std::optional<ResampleStop> stop = BootstrapPickedRows(
        R, n, data.sums, cases.table, settings.threads, generator, control,
        [&](std::int32_t k, const RowSums& sums, const std::int32_t* picked) {
            const auto [sx, sy, sxx, syy, sxy] = CorrelationTotalsOf(sums, data.sums);
            // No variance: all drawn values equal, or (defined) a variance that computes as 0 or less in single.
            // Double sums of deviations from the mean hold any spread: a centred run stops only on equal values.
            const auto varX = static_cast<float>((sxx - sx * sx / size) / (size - 1.0));
            const auto varY = static_cast<float>((syy - sy * sy / size) / (size - 1.0));
            if ((!centred && !(varX > 0.0f)) || SameInEveryPickedRow(data.x.data(), 1, picked, n)) return int{kFlatX};
            if ((!centred && !(varY > 0.0f)) || SameInEveryPickedRow(data.y.data(), 1, picked, n)) return int{kFlatY};
            const auto cov = static_cast<float>((sxy - sx * sy / size) / (size - 1.0));
            out[k] = CorrelationFrom(varX, varY, cov);
            return -1;
        });
    if (stop) {
        throw RunStopped(NoVarianceMessage(stop->reason == kFlatX ? "X" : "Y", stop->resample + 1),
                         {ObtainedRBox(result.r)});
    }
    // Values of r beyond 1 in size, counted in generation order.
    for (const float r : result.bootstrapR) {
        if (std::fabs(r) > 1.0f && result.illegalCount++ == 0) result.firstIllegal = r;
    }

    result.spread = ResampledStandardError(result.bootstrapR);
    result.standardError = result.spread.standardError;

    result.nonFinite = CountNonFinite(result.bootstrapR);
    result.sortedR = result.bootstrapR;
    SortResampledValues(result.sortedR, control);

    result.positions = IntegerPartPercentilePositions(R, settings.confidence);
    result.lowerLimit = result.sortedR[static_cast<std::size_t>(result.positions.lower - 1)];
    result.upperLimit = result.sortedR[static_cast<std::size_t>(result.positions.upper - 1)];
    return result;
}

RunResult PresentBootstCorr(BootstCorrResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedRBox(r.r),
        MakeBox(kBootstCorrBoxes[1], r.standardError),
        MakeBox(kBootstCorrBoxes[2], r.lowerLimit),
        MakeBox(kBootstCorrBoxes[3], r.upperLimit),
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
    if (r.centred) run.notes.push_back(kCentredRunNote);
    if (r.spread.corrected) run.notes.push_back(CorrectedSpreadNote("bootstrap correlations", r.spread));
    run.resampled = std::move(r.bootstrapR);
    return run;
}

RunResult BootstCorrProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                              RunControl& control) {
    CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
    return PresentBootstCorr(RunBootstCorr(ReadBootstCorrData(file), settings, generator, control), settings);
}

}  // namespace brevant
