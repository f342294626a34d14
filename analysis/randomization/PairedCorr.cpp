#include "analysis/randomization/PairedCorr.h"

#include "analysis/DrawnRows.h"
#include "analysis/Parallel.h"
#include "analysis/lanes/CasePickLanes.h"

#include <algorithm>
#include <type_traits>
#include <bit>
#include <iterator>
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
        // Two positive variances whose single product overflows (values of size 1e10) or underflows: the
        // product in double, or r would come out 0 or infinite.
        const bool outOfRange = !std::isnormal(product) && c.varianceX > 0.0f && c.varianceY > 0.0f;
        c.zeroSpread = constantX || constantY || !(product > 0.0f || outOfRange);
        if (constantX || constantY) {
            c.r = ZeroSpreadQuotient(0.0);  // no spread and a covariance of exactly 0
        } else if (c.zeroSpread) {
            c.r = ZeroSpreadQuotient(c.covariance);
        } else {
            const double root = outOfRange ? std::sqrt(static_cast<double>(c.varianceX) * c.varianceY)
                                           : std::sqrt(static_cast<double>(product));
            c.r = static_cast<float>(static_cast<double>(c.covariance) / root);
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

template <typename Sum>
float PickedCorrelation(const RowSums& s, std::span<const float> rows, const std::int32_t* picked,
                        std::int32_t n) noexcept {
    constexpr bool kSingle = std::is_same_v<Sum, float>;
    CorrelationSums<Sum> sums;
    const CorrelationTotals totals = CorrelationTotalsOf(s, kSingle ? SumPrecision::Single : SumPrecision::Double);
    sums.sx = static_cast<Sum>(totals.x);
    sums.sy = static_cast<Sum>(totals.y);
    sums.sxx = static_cast<Sum>(totals.xx);
    sums.syy = static_cast<Sum>(totals.yy);
    sums.sxy = static_cast<Sum>(totals.xy);
    sums.constantX = SameInEveryPickedRow(rows.data(), 2, picked, n);
    sums.constantY = SameInEveryPickedRow(rows.data() + 1, 2, picked, n);
    return sums.Finish(n).r;
}

void CorrelateWith(DrawPath path, SumPrecision precision, std::span<const float> rows, const RowTable& table,
                   const std::int32_t* picked, std::int32_t count, float* out) {
    const auto n = static_cast<std::int32_t>(rows.size() / 4);
    RowSums sums[kPickedRowsBatch];
    for (std::int32_t k = 0; k < count; k += kPickedRowsBatch) {
        const std::int32_t batch = std::min(kPickedRowsBatch, count - k);
        const std::int32_t* const first = picked + static_cast<std::ptrdiff_t>(k) * n;
        SumPickedRows(path, precision, table, first, n, batch, sums);
        for (std::int32_t j = 0; j < batch; ++j) {
            const std::int32_t* const own = first + static_cast<std::ptrdiff_t>(j) * n;
            out[k + j] = precision == SumPrecision::Single ? PickedCorrelation<float>(sums[j], rows, own, n)
                                                           : PickedCorrelation<double>(sums[j], rows, own, n);
        }
    }
}

}  // namespace

void DrawPairPicks(DrawPath path, BlockGenerator& g, std::int32_t n, std::span<std::int32_t> out) noexcept {
    if (n <= 0) return;
    for (std::size_t begin = 0; begin + static_cast<std::size_t>(n) <= out.size(); begin += static_cast<std::size_t>(n)) {
        for (std::int32_t i = 0; i < n;) {
            const std::span<const double> draws = g.Take(static_cast<std::size_t>(n - i));
            PairRows(path, draws, i, out.data() + begin + static_cast<std::size_t>(i));
            i += static_cast<std::int32_t>(draws.size());
        }
    }
}

void CorrelatePickedPairs(DrawPath path, SumPrecision precision, std::span<const float> rows,
                          const std::int32_t* picked, std::int32_t count, float* out) {
    const CorrelationRows table = CorrelationRowsOf(rows.data(), rows.data() + 1, 2, rows.size() / 2, precision);
    CorrelateWith(path, precision, rows, table.table, picked, count, out);
}

namespace {

template <typename Column>
ColumnCorrelation Correlate(std::int32_t n, Column column, SumPrecision precision) noexcept {
    return precision == SumPrecision::Single ? CorrelateIn<float>(n, column) : CorrelateIn<double>(n, column);
}

ResultBox ObtainedRBox(float r) { return MakeBox(kPairedCorrBoxes[0], r); }

ColumnCorrelation ObservedCorrelation(const PairedCorrData& data) noexcept {
    return CorrelateColumns(data.x1, data.y1, data.sums);
}

// The mean of two columns taken together.
double CommonMean(const std::vector<float>& a, const std::vector<float>& b) {
    std::vector<float> both(a);
    both.insert(both.end(), b.begin(), b.end());
    return ExactMean(both);
}

// The obtained r and its variances as defined and in double around the means; the four columns as the
// resamples sum them. Centred, X1 and X2 are shifted by one mean (of both together), Y1 and Y2 by another: a
// resample exchanges the first pair for the second, so each variable keeps one origin and no r changes.
void CentreIfNeeded(PairedCorrData& data) {
    const ColumnCorrelation c = ObservedCorrelation(data);
    const ExactCorrelation e = ExactCorrelationOf(data.x1, data.y1);
    PrecisionCheck check(data.sums);
    check.Spread(c.varianceX, e.varX);
    check.Spread(c.varianceY, e.varY);
    check.Bounded(c.r, e.r);
    for (const std::vector<float>* column : {&data.x1, &data.y1, &data.x2, &data.y2}) check.Conditioning(*column);
    if (ShownBeyondOne(ObtainedRBox(c.r))) check.Require();
    if (!check.Centred()) return;
    data.centred = true;
    data.sums = check.Sums();
    const double meanX = CommonMean(data.x1, data.x2), meanY = CommonMean(data.y1, data.y2);
    for (std::vector<float>* column : {&data.x1, &data.x2}) ShiftValues(*column, meanX);
    for (std::vector<float>* column : {&data.y1, &data.y2}) ShiftValues(*column, meanY);
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

    if (AllEqual(data.x1) || AllEqual(data.y1)) {
        RefuseData(file, "has no spread in its X1 or its Y1 values (they are all equal), so the obtained "
                         "correlation is undefined.");
    }
    CentreIfNeeded(data);
    const ColumnCorrelation c = ObservedCorrelation(data);
    if (c.zeroSpread || !std::isfinite(c.r)) {
        RefuseData(file, "holds X1 or Y1 values whose variance is too small for single precision, so the obtained "
                         "correlation cannot be computed; multiply them by a power of ten first.");
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
    result.centred = data.centred;
    std::vector<float> randomized(static_cast<std::size_t>(R));

    // Each case's four values side by side: the pair a draw picks is a row number, found without a branch
    // (which would be mispredicted half the time).
    std::vector<float> rows(static_cast<std::size_t>(n) * 4);
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
        rows[4 * i] = data.x1[i];
        rows[4 * i + 1] = data.y1[i];
        rows[4 * i + 2] = data.x2[i];
        rows[4 * i + 3] = data.y2[i];
    }
    const CorrelationRows table = CorrelationRowsOf(rows.data(), rows.data() + 1, 2, rows.size() / 2, data.sums);
    float* const out = randomized.data();
    const auto size = static_cast<std::size_t>(n);
    const DrawPath path = ActiveDrawPath();
    // Each resample picks its pairs afresh from the data (n draws), so the resamples split across threads.
    // Within a share, a batch of consecutive resamples takes its draws (consecutive in the stream) at once
    // and forms its sums side by side.
    ResamplesInParallel(R, static_cast<std::uint64_t>(n), settings.threads, generator, control,
                        [&](std::int32_t begin, std::int32_t end, BlockGenerator& g, const ResampleTick& tick) {
        const std::int32_t step = n > kBatchedDrawsLimit ? 1 : kPickedRowsBatch;
        std::vector<std::int32_t> picked(static_cast<std::size_t>(step) * size);
        for (std::int32_t k = begin; k < end; k += step) {
            const std::int32_t batch = std::min(step, end - k);
            const std::span<std::int32_t> picks = std::span(picked).first(static_cast<std::size_t>(batch) * size);
            DrawPairPicks(path, g, n, picks);
            CorrelateWith(path, data.sums, rows, table.table, picks.data(), batch, out + k);
            for (std::int32_t j = 0; j < batch; ++j) {
                if (!tick()) return;
            }
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

    // The standard deviation of the r* in generation order (0 when they are all equal).
    result.spread = ResampledStandardError(randomized);
    result.standardError = result.spread.standardError;

    SortResampledValues(randomized, control);

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
        MakeBox(kPairedCorrBoxes[1], r.lowerLimit),
        MakeBox(kPairedCorrBoxes[2], r.upperLimit),
        MakeBox(kPairedCorrBoxes[3], r.standardError),
    };
    run.histogram = {.caption = "Randomized Correlation",
                     .observed = r.observed.r,
                     .bounds = std::pair{-5.0f, 5.0f},
                     .observedLabel = "Obtained r",
                     .limits = MarkedLimits{r.lowerLimit, r.upperLimit, "Lower Conf. Limit", "Upper Conf. Limit"}};
    if (r.centred) run.notes.push_back(kCentredRunNote);
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        run.notes.push_back(
            std::to_string(nf.Total()) + " of the " + std::to_string(settings.resamples) +
            " resamples gathered an X or a Y column with no spread, so their r is undefined: " +
            std::to_string(nf.undefined) + " nan (sorted after all others), " + std::to_string(nf.positiveInfinite) +
            " inf and " + std::to_string(nf.negativeInfinite) +
            " -inf. A limit read from one of them shows as such, the standard error as nan, and the histogram "
            "leaves them out.");
    } else if (r.spread.corrected) {
        run.notes.push_back(CorrectedSpreadNote("randomized correlations", r.spread));
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
