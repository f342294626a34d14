#include "analysis/randomization/Corr1.h"

#include "analysis/DrawnRows.h"
#include "analysis/ExactShares.h"
#include "analysis/Parallel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <utility>

namespace brevant {

namespace {

// Subtracted from the signed obtained r before its size is compared (a single-precision constant).
constexpr float kTolerance = 0.0001f;

// Standard deviation from the sums of a column, in double, stored as single.
float StandardDeviation(double sum, double squares, std::int64_t n) noexcept {
    const double size = static_cast<double>(n);
    return static_cast<float>(std::sqrt((squares - sum * sum / size) / static_cast<double>(n - 1)));
}

// sum of Y times sum of X: a product of two singles is a single; of two double sums, a double.
double ProductOfSums(double sumY, double sumX, SumPrecision sums) noexcept {
    if (sums == SumPrecision::Single) return static_cast<float>(sumY) * static_cast<float>(sumX);
    return sumY * sumX;
}

// Y times X: a single within the designed sizes; past them, in double like the sums, since a single
// product of values far from zero keeps too few digits of their spread.
double ProductOfValues(float y, float x, SumPrecision sums) noexcept {
    if (sums == SumPrecision::Single) return y * x;
    return static_cast<double>(y) * static_cast<double>(x);
}

ResultBox ObtainedRBox(float r) { return MakeBox(kCorr1Boxes[0], r); }

const std::string kIllegalText = "This is an illegal value of r";

// The obtained r and both standard deviations as defined and in double around the means; the columns as the
// run sums them. Centred, X and Y are each shifted by their own mean (r and every permuted r do not change).
void CentreIfNeeded(Corr1Data& data) {
    const Corr1Figures f = ComputeCorr1Figures(data);
    const ExactCorrelation e = ExactCorrelationOf(data.x, data.y);
    PrecisionCheck check(data.sums);
    check.Spread(f.sdX, std::sqrt(e.varX));
    check.Spread(f.sdY, std::sqrt(e.varY));
    check.Bounded(f.r, e.r);
    data.centred = CentreEachColumn(check, ObtainedRBox(f.r), {&data.x, &data.y});
    data.sums = check.Sums();
}

}  // namespace

Corr1Figures ComputeCorr1Figures(const Corr1Data& data) noexcept {
    const auto n = static_cast<std::int64_t>(data.x.size());
    RunningSum sumX(data.sums), sumXX(data.sums), sumY(data.sums), sumYY(data.sums), sumXY(data.sums);
    for (std::int64_t i = 0; i < n; ++i) {
        const float x = data.x[static_cast<std::size_t>(i)];
        const float y = data.y[static_cast<std::size_t>(i)];
        sumX.Add(x);
        sumXX.Add(static_cast<double>(x) * static_cast<double>(x));
        sumY.Add(y);
        sumYY.Add(static_cast<double>(y) * static_cast<double>(y));
        sumXY.Add(ProductOfValues(y, x, data.sums));
    }
    Corr1Figures f;
    f.sumX = sumX.Value();
    f.sumXX = sumXX.Value();
    f.sumY = sumY.Value();
    f.sumYY = sumYY.Value();
    f.sumXY = sumXY.Value();
    f.sdX = StandardDeviation(f.sumX, f.sumXX, n);
    f.sdY = StandardDeviation(f.sumY, f.sumYY, n);
    f.covariance = static_cast<float>((f.sumXY - ProductOfSums(f.sumY, f.sumX, data.sums) / static_cast<double>(n)) /
                                      static_cast<double>(n - 1));
    f.r = f.covariance / (f.sdY * f.sdX);
    return f;
}

Corr1Data ReadCorr1Data(DataFile& file) {
    Corr1Data data;
    // Read as any count, so that too few pairs for a correlation are refused in plain words.
    const std::int32_t n = file.ReadCount("the number of cases", 0, kMaxDataValues);
    if (n < 2) RefuseData(file, "announces " + std::to_string(n) + (n == 1 ? " case" : " cases") +
                                "; a correlation needs at least 2 cases.");
    if (static_cast<std::int64_t>(n) * 2 > kMaxDataValues) {
        RefuseData(file, "announces " + std::to_string(n) + " cases (" + ValueCount(2LL * n) + "); at most " +
                             std::to_string(kMaxDataValues) + " values can be analysed.");
    }
    const std::vector<float> pairs = file.ReadValues(static_cast<std::size_t>(n) * 2, "X and Y of each case");
    data.x.reserve(static_cast<std::size_t>(n));
    data.y.reserve(static_cast<std::size_t>(n));
    double squaresX = 0.0, squaresY = 0.0;
    for (std::size_t i = 0; i < pairs.size(); i += 2) {
        data.x.push_back(pairs[i]);
        data.y.push_back(pairs[i + 1]);
        squaresX += static_cast<double>(pairs[i]) * pairs[i];
        squaresY += static_cast<double>(pairs[i + 1]) * pairs[i + 1];
    }
    data.sums = SumsFor(n, kCorr1DesignedPairs);
    CheckSumsOfSquaresFit(file, std::max(squaresX, squaresY));

    for (const auto& [column, values] : {std::pair{"X", &data.x}, std::pair{"Y", &data.y}}) {
        if (AllEqual(*values)) {
            RefuseData(file, std::string("has no spread in its ") + column +
                                 " values (they are all equal), so the correlation is undefined.");
        }
    }
    CentreIfNeeded(data);
    const Corr1Figures f = ComputeCorr1Figures(data);
    if (!(f.sdX > 0.0f) || !(f.sdY > 0.0f) || !std::isfinite(f.r)) {
        RefuseData(file, "holds values whose spread is too small for single precision, so the correlation "
                         "cannot be computed; multiply the X or the Y values by a power of ten first.");
    }
    return data;
}

std::vector<ResultBox> ObservedCorr1Boxes(const Corr1Data& data) { return {ObtainedRBox(ComputeCorr1Figures(data).r)}; }

// ---------------------------------------------------------------------------------------------------------
// The permutation step.
//
// Each key is packed with its index into one 64-bit entry whose unsigned order is the descending order of
// the keys, equal keys by index. The entries are spread into two buckets per key by the key's size (larger
// keys into earlier buckets), and one insertion sort over the bucketed array finishes the order: with
// uniform keys it only ever compares neighbours. Distinct keys have exactly one descending order, which is
// the selection sort's. Equal keys (a few resamples in a hundred, for 1,000 keys) are where the selection
// sort's exchanges decide the order: SelectionOrder replays them from the sorted entries. Keys crowded into
// few buckets, where the insertion sort would run long, are sorted outright instead.

namespace {

// An unsigned number that grows as the key falls, equal for keys that compare equal (-0 as +0).
std::uint32_t DescendingRank(float key) noexcept {
    const auto bits = std::bit_cast<std::uint32_t>(key + 0.0f);
    const std::uint32_t ascending = (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
    return ~ascending;
}

// The entry and the bucket of each key; buckets cover [0, 1] in decreasing order of key, keys beyond it go
// to the end buckets. Plain element-wise arithmetic, made twice so that processors with AVX2 take eight
// keys at a time; the bucket is only where the sort starts, so its rounding decides nothing.
__attribute__((target_clones("avx2", "default"))) void EntriesAndBuckets(const float* keys, std::size_t n,
                                                                         std::uint32_t buckets,
                                                                         std::uint64_t* entries,
                                                                         std::uint32_t* bucket) noexcept {
    const auto scale = static_cast<float>(buckets);
    const auto last = static_cast<float>(buckets - 1);
    for (std::size_t i = 0; i < n; ++i) {
        const float key = keys[i];
        entries[i] = static_cast<std::uint64_t>(DescendingRank(key)) << 32 | i;
        const float t = std::min(std::max((1.0f - key) * scale, 0.0f), last);
        bucket[i] = static_cast<std::uint32_t>(static_cast<std::int32_t>(t));
    }
}

__attribute__((target_clones("avx2", "default"))) void DrawsAsKeys(const double* draws, std::size_t n,
                                                                   float* keys) noexcept {
    for (std::size_t i = 0; i < n; ++i) keys[i] = static_cast<float>(draws[i]);
}

}  // namespace

void DescendingKeyOrder::Arrange(std::span<const float> keys, std::span<float> values) {
    keys_.assign(keys.begin(), keys.end());
    order_.resize(values.size());
    Order(order_);
    arranged_.resize(values.size());
    for (std::size_t p = 0; p < values.size(); ++p) arranged_[p] = values[static_cast<std::size_t>(order_[p])];
    std::copy(arranged_.begin(), arranged_.end(), values.begin());
}

void DescendingKeyOrder::OrderDraws(BlockGenerator& g, std::span<std::int32_t> order) {
    const std::size_t n = order.size();
    keys_.resize(n);
    for (std::size_t done = 0; done < n;) {
        const std::span<const double> draws = g.Take(n - done);
        DrawsAsKeys(draws.data(), draws.size(), keys_.data() + done);
        done += draws.size();
    }
    Order(order);
}

void DescendingKeyOrder::Order(std::span<std::int32_t> order) {
    const std::size_t n = order.size();
    if (n == 0) return;
    entries_.resize(n);
    bucket_.resize(n);
    const std::size_t buckets = 2 * n;
    EntriesAndBuckets(keys_.data(), n, static_cast<std::uint32_t>(buckets), entries_.data(), bucket_.data());
    start_.assign(buckets + 1, 0);
    for (std::size_t i = 0; i < n; ++i) ++start_[bucket_[i] + 1];
    for (std::size_t b = 1; b <= buckets; ++b) start_[b] += start_[b - 1];
    sorted_.resize(n);
    for (std::size_t i = 0; i < n; ++i) sorted_[start_[bucket_[i]]++] = entries_[i];

    std::uint64_t* const e = sorted_.data();
    const std::size_t budget = 16 * n;
    std::size_t moves = 0;
    for (std::size_t i = 1; i < n && moves <= budget; ++i) {
        const std::uint64_t entry = e[i];
        if (e[i - 1] < entry) continue;
        std::size_t j = i;
        do {
            e[j] = e[j - 1];
            --j;
        } while (j > 0 && e[j - 1] > entry);
        moves += i - j;
        e[j] = entry;
    }
    if (moves > budget) std::sort(sorted_.begin(), sorted_.end());

    bool tie = false;
    for (std::size_t p = 0; p < n; ++p) {
        order[p] = static_cast<std::int32_t>(static_cast<std::uint32_t>(e[p]));
        tie |= p > 0 && (e[p] >> 32) == (e[p - 1] >> 32);
    }
    if (tie) {
        const std::vector<std::int32_t> at = SelectionOrder(keys_, order);
        std::copy(at.begin(), at.end(), order.begin());
    }
}

// ---------------------------------------------------------------------------------------------------------

// The sum of X times Y over each of count arrangements of Y (one after another, n each), in case order:
// a single-precision product and running sum within the designed sizes, double past them. Eight
// arrangements are summed side by side, so their separate dependency chains overlap.
template <typename Acc>
void SumsOfProducts(const float* x, const float* arrangements, std::int32_t n, std::int32_t first,
                    std::int32_t count, const std::function<void(std::int32_t, double)>& finish) {
    constexpr std::int32_t kSide = 8;
    const auto size = static_cast<std::size_t>(n);
    std::int32_t b = 0;
    for (; b + kSide <= count; b += kSide) {
        const float* const y = arrangements + static_cast<std::size_t>(b) * size;
        Acc sums[kSide] = {};
        for (std::size_t i = 0; i < size; ++i) {
            for (std::int32_t j = 0; j < kSide; ++j) {
                sums[j] += static_cast<Acc>(y[static_cast<std::size_t>(j) * size + i]) * static_cast<Acc>(x[i]);
            }
        }
        for (std::int32_t j = 0; j < kSide; ++j) finish(first + b + j, sums[j]);
    }
    for (; b < count; ++b) {
        const float* const y = arrangements + static_cast<std::size_t>(b) * size;
        Acc sum = 0;
        for (std::size_t i = 0; i < size; ++i) sum += static_cast<Acc>(y[i]) * static_cast<Acc>(x[i]);
        finish(first + b, sum);
    }
}

ExactFigures ExactCorr1(const Corr1Data& data, const RunSettings& settings, RunControl& control) {
    const std::vector<std::int32_t> singles(data.x.size(), 1);
    const double total = DivisionCount(singles);
    const auto width = static_cast<std::int64_t>(singles.size());
    if (!WithinExactLimit(total, width, settings.exactLimit)) {
        return TooManyArrangements(total, settings.exactLimit, "pairings", width);
    }
    // N sum(x y) - sum(x) sum(y) does not change when either column moves; the values less each column's
    // first are exact in double, and whole where the values are.
    double sumX = 0.0, sumY = 0.0;
    const std::vector<double> x = LessTheFirst(data.x, &sumX), y = LessTheFirst(data.y, &sumY);
    const double fixed = sumX * sumY;
    const ExactStatistic covariance = [&x, &y, fixed](std::span<const std::int32_t> partner) {
        double products = 0.0;
        for (std::size_t i = 0; i < partner.size(); ++i) products += x[i] * y[static_cast<std::size_t>(partner[i])];
        return static_cast<double>(partner.size()) * products - fixed;
    };
    const ExactTail tails[] = {ExactTail::Both};
    return MakeExactFigures(CountDivisions(singles, covariance, tails, settings.threads, control), {"txtProbMore"},
                            "pairings");
}

Corr1Result RunCorr1(const Corr1Data& data, const RunSettings& settings, Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    const std::int32_t R = settings.resamples;
    const auto n = static_cast<std::int32_t>(data.x.size());

    Corr1Result result;
    const Corr1Figures f = ComputeCorr1Figures(data);
    result.observed = f;
    result.centred = data.centred;
    result.resampled.assign(static_cast<std::size_t>(R), 0.0f);
    result.exact = ExactCorr1(data, settings, control);

    // What every permuted r shares: sum of Y times sum of X over N, N - 1, and sdY times sdX (a single).
    const double centre = ProductOfSums(f.sumY, f.sumX, data.sums) / static_cast<double>(n);
    const double nMinus1 = static_cast<double>(n - 1);
    const double spread = f.sdY * f.sdX;
    const float limit = std::fabs(f.r - kTolerance);
    const bool single = data.sums == SumPrecision::Single;

    // Each permutation rearranges the Y values from where the last one left them, but which position goes
    // where depends only on that resample's own n keys: the permutations are drawn and chained on every
    // thread, and the sums of products of the arrangements formed there.
    std::vector<float> order = data.y;  // the Y values in the order the last permutation left them
    const float* const x = data.x.data();
    float* const out = result.resampled.data();
    const CarriedStep permutation =
        PositionPermutations(static_cast<std::uint64_t>(n), static_cast<std::size_t>(n),
                             [](BlockGenerator& g, std::span<std::int32_t> step) {
                                 thread_local DescendingKeyOrder arrange;
                                 arrange.OrderDraws(g, step);
                             });
    const auto finish = [&](std::int32_t k, double sumXY) {
        out[k] = static_cast<float>(((sumXY - centre) / nMinus1) / spread);
    };
    StepsAlongside(order, R, settings.threads, generator, control, permutation,
                   [&](std::int32_t first, std::int32_t count, const float* arrangements) {
                       if (single) {
                           SumsOfProducts<float>(x, arrangements, n, first, count, finish);
                       } else {
                           SumsOfProducts<double>(x, arrangements, n, first, count, finish);
                       }
                   });

    std::int64_t count = 0, illegal = 0;
    float firstIllegal = 0.0f;
    for (const float rStar : result.resampled) {
        if (std::fabs(rStar) > 1.0f && illegal++ == 0) firstIllegal = rStar;
        count += limit <= std::fabs(rStar);
    }

    result.countExtreme = count;
    result.probability = static_cast<float>(static_cast<double>(static_cast<float>(count)) / (R + 1.0));
    result.illegalCount = illegal;
    result.firstIllegal = firstIllegal;
    return result;
}

RunResult PresentCorr1(Corr1Result&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedRBox(r.observed.r),
        MakeBox(kCorr1Boxes[1], r.countExtreme),
        MakeBox(kCorr1Boxes[2], r.probability),
    };
    run.histogram = {.caption = "Randomized Correlation",
                     .observed = r.observed.r,
                     .observedLabel = "Obtained r",
                     .extreme = ExtremeRegion{ExtremeRegion::Tails::Both, std::fabs(r.observed.r - kTolerance)}};
    if (r.centred) run.notes.push_back(kCentredRunNote);
    // Data whose r reads beyond 1 are centred, and a centred r errs by a few units in its seventh digit at most:
    // the note is a guard that says what is shown if that ever fails.
    if (ShownBeyondOne(run.boxes[0])) {
        run.notes.push_back("The obtained r shown lies beyond 1 in size, which no data can give: rounding carried "
                            "it there, so read it as " + std::string(r.observed.r > 0.0f ? "1" : "-1") + ".");
    }
    if (r.illegalCount > 0) {
        run.messages.push_back(IllegalValueMessage(kIllegalText, r.firstIllegal, r.illegalCount, settings.resamples));
    }
    run.exact = std::move(r.exact);  // its note follows the Monte Carlo notes (AddMonteCarloNotes)
    run.resampled = std::move(r.resampled);
    return run;
}

RunResult Corr1Procedure(DataFile& file, const RunSettings& settings, Generator& generator, RunControl& control) {
    CheckResamples(settings.resamples);
    return PresentCorr1(RunCorr1(ReadCorr1Data(file), settings, generator, control), settings);
}

}  // namespace brevant
