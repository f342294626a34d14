#include "analysis/randomization/Repeated1way.h"

#include "analysis/ExactShares.h"
#include "analysis/Parallel.h"
#include "analysis/lanes/TableSumLanes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

namespace brevant {

namespace {

// a + b == c + d exactly: each sum of two floats as a double and its rounding error (Knuth's two-sum), so
// the comparison holds whatever the exponents.
inline bool SameExactSum(float a, float b, float c, float d) noexcept {
    const auto twoSum = [](double x, double y, double& error) {
        const double s = x + y;
        const double yPart = s - x;
        error = (x - (s - yPart)) + (y - yPart);
        return s;
    };
    double e1 = 0, e2 = 0;
    const double s1 = twoSum(a, b, e1);
    const double s2 = twoSum(c, d, e2);
    return s1 == s2 && e1 == e2;
}

// A centred run (double sums of scores shifted by their mean) keeps every SS in double up to the quotient:
// SS error is the difference of SS total and SS subjects, which can be far larger than it, and SS
// treatments, never below 0 but for the last rounding, is taken as 0 there.
RepeatedFFigures CentredFFromSums(const TableSums& s, std::int64_t n, std::int64_t k, bool additive) noexcept {
    const double N = static_cast<double>(n * k);
    const double correction = s.grand * s.grand / N;
    const double total = s.squares - correction;
    const double subjects = s.subjectSquares / static_cast<double>(k) - correction;
    const double treatments = std::max(0.0, s.treatmentSquares / static_cast<double>(n) - correction);
    const double error = total - subjects - treatments;
    const double msTreatments = treatments / static_cast<double>(k - 1);
    const double msError = error / static_cast<double>((k - 1) * (n - 1));
    RepeatedFFigures f;
    f.ssTotal = static_cast<float>(total);
    f.ssSubjects = static_cast<float>(subjects);
    f.ssTreatments = static_cast<float>(treatments);
    f.ssError = static_cast<float>(error);
    f.msTreatments = static_cast<float>(msTreatments);
    f.msError = static_cast<float>(msError);
    f.zeroSpread = additive || !(error > 0.0) || !(f.msError > 0.0f);
    f.f = f.zeroSpread ? ZeroSpreadQuotient(f.msTreatments) : static_cast<float>(msTreatments / msError);
    return f;
}

RepeatedFFigures FFromSums(const TableSums& s, std::int64_t n, std::int64_t k, bool additive, bool centred) noexcept {
    if (centred) return CentredFFromSums(s, n, k, additive);
    const double N = static_cast<double>(n * k);
    const double correction = s.grand * s.grand / N;  // G^2 / N
    RepeatedFFigures f;
    f.ssTotal = static_cast<float>(s.squares - correction);
    f.ssSubjects = static_cast<float>(s.subjectSquares / static_cast<double>(k) - correction);
    f.ssTreatments = static_cast<float>(s.treatmentSquares / static_cast<double>(n) - correction);
    f.ssError = f.ssTotal - f.ssSubjects - f.ssTreatments;  // float differences
    f.msTreatments = static_cast<float>(static_cast<double>(f.ssTreatments) / static_cast<double>(k - 1));
    f.msError = static_cast<float>(static_cast<double>(f.ssError) / static_cast<double>((k - 1) * (n - 1)));
    f.zeroSpread = additive || !(f.ssError > 0.0f) || !(f.msError > 0.0f);
    f.f = f.zeroSpread ? ZeroSpreadQuotient(f.msTreatments)
                       : static_cast<float>(static_cast<double>(f.msTreatments) / static_cast<double>(f.msError));
    return f;
}

// The F of count permuted tables, one after another, their sums side by side on the given path.
void PermutedFs(DrawPath path, SumPrecision precision, const float* tables, std::int32_t count, std::int32_t n,
                std::int32_t k, bool centred, float* out) {
    const std::size_t size = static_cast<std::size_t>(n) * static_cast<std::size_t>(k);
    std::vector<TableSums> sums(static_cast<std::size_t>(count));
    SumTables(path, precision, tables, count, n, k, sums.data());
    for (std::int32_t b = 0; b < count; ++b) {
        const std::span<const float> table(tables + static_cast<std::size_t>(b) * size, size);
        out[b] = FFromSums(sums[static_cast<std::size_t>(b)], n, k, AdditiveTable(table, n, k), centred).f;
    }
}

// The resample loop. Each pass shuffles every row from where the last pass left it, drawing k - 1 numbers
// per row, rows in subject order: the rows are shuffled on every thread (each its own rows, skipping the
// others' draws) and the F of each pass's table computed on every thread; the count is taken afterwards.
void Permutations(Repeated1wayData& data, std::int32_t R, int threads, Generator& generator, RunControl& control,
                  Repeated1wayResult& result) {
    const std::int32_t n = data.subjects, k = data.treatments;
    float* const out = result.resampled.data();
    const DrawPath path = ActiveDrawPath();
    const RowShuffler shuffle(k, path);
    const RowRearrangement shuffles{static_cast<std::size_t>(k), static_cast<std::uint64_t>(k - 1), std::cref(shuffle)};
    const bool centred = data.centred;
    const SumPrecision precision = data.sums;
    RowsAlongside(data.scores, R, threads, generator, control, shuffles,
                  [&](std::int32_t first, std::int32_t count, const float* tables) {
                      PermutedFs(path, precision, tables, count, n, k, centred, out + first);
                  });
}

ResultBox ObtainedFBox(float f) { return MakeBox(kRepeated1wayBoxes[0], f); }

RepeatedFFigures ObservedFigures(const Repeated1wayData& data) {
    return ComputeRepeatedF(data.scores, data.subjects, data.treatments, data.sums, data.centred);
}

// Reads k or n as any count, so that too few are refused in plain words.
std::int32_t ReadAtLeastTwo(DataFile& file, const std::string& what, const std::string& singular) {
    const std::int32_t count = file.ReadCount("the number of " + what, 0, kMaxDataValues);
    if (count < 2) {
        RefuseData(file, "announces " + std::to_string(count) + " " + (count == 1 ? singular : what) +
                             "; the test needs at least 2 " + what + ".");
    }
    return count;
}

}  // namespace

RowShuffler::RowShuffler(std::int32_t treatments, DrawPath path) : k_(treatments), path_(path) {
    if (k_ <= kMostOrderedTreatments) orders_.emplace(k_);
}

void RowShuffler::operator()(DrawsFrom& draws, std::span<const float> from, std::span<float> to) const {
    const auto k = static_cast<std::size_t>(k_);
    if (!orders_) {  // too many orders to table: the swaps themselves
        std::ranges::copy(from, to.begin());
        for (std::size_t row = 0; row < to.size(); row += k) {
            for (std::int32_t i = k_; i >= 2; --i) {
                std::swap(to[row + static_cast<std::size_t>(draws.Index(i) - 1)], to[row + static_cast<std::size_t>(i - 1)]);
            }
        }
        return;
    }
    orders_->Apply(path_, draws.Take(from.size() / k * (k - 1)), from, to);
}

void RepeatedFOfTables(DrawPath path, SumPrecision sums, const float* tables, std::int32_t count,
                       std::int32_t subjects, std::int32_t treatments, float* out, bool centred) {
    PermutedFs(path, sums, tables, count, subjects, treatments, centred, out);
}

bool AdditiveTable(std::span<const float> scores, std::int32_t subjects, std::int32_t treatments) noexcept {
    const auto k = static_cast<std::size_t>(treatments);
    const float first = scores[0];
    for (std::size_t j = 1; j < static_cast<std::size_t>(subjects); ++j) {
        const float* row = scores.data() + j * k;
        for (std::size_t t = 1; t < k; ++t) {
            if (!SameExactSum(row[t], first, row[0], scores[t])) return false;
        }
    }
    return true;
}

RepeatedFFigures ComputeRepeatedF(std::span<const float> scores, std::int32_t subjects, std::int32_t treatments,
                                  SumPrecision sums, bool centred) noexcept {
    TableSums s;
    SumTables(DrawPath::Baseline, sums, scores.data(), 1, subjects, treatments, &s);
    return FFromSums(s, subjects, treatments, AdditiveTable(scores, subjects, treatments), centred);
}

ExactRepeatedFigures ComputeExactRepeatedF(std::span<const float> scores, std::int32_t subjects,
                                           std::int32_t treatments) {
    const auto n = static_cast<std::size_t>(subjects), k = static_cast<std::size_t>(treatments);
    const double grandMean = ExactMean(scores);
    std::vector<double> subjectMeans(n, 0.0), treatmentMeans(k, 0.0);
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t t = 0; t < k; ++t) {
            subjectMeans[j] += scores[j * k + t];
            treatmentMeans[t] += scores[j * k + t];
        }
    }
    for (double& m : subjectMeans) m /= static_cast<double>(k);
    for (double& m : treatmentMeans) m /= static_cast<double>(n);
    ExactRepeatedFigures exact;
    for (const double m : treatmentMeans) exact.ssTreatments += (m - grandMean) * (m - grandMean);
    exact.ssTreatments *= static_cast<double>(n);
    for (std::size_t j = 0; j < n; ++j) {
        for (std::size_t t = 0; t < k; ++t) {
            const double residual = scores[j * k + t] - subjectMeans[j] - treatmentMeans[t] + grandMean;
            exact.ssError += residual * residual;
        }
    }
    const double df = static_cast<double>(k - 1);
    exact.f = (exact.ssTreatments / df) / (exact.ssError / (df * static_cast<double>(n - 1)));
    return exact;
}

bool CentreRepeated1wayIfNeeded(Repeated1wayData& data) {
    const RepeatedFFigures defined = ObservedFigures(data);
    const ExactRepeatedFigures exact = ComputeExactRepeatedF(data.scores, data.subjects, data.treatments);
    PrecisionCheck check(data.sums);
    check.Statistic(defined.f, exact.f);
    check.Statistic(defined.ssTreatments, exact.ssTreatments);
    check.Spread(defined.ssError, exact.ssError);
    check.Conditioning(data.scores);
    if (defined.f < 0.0f) check.Require();  // never shown, however close to 0
    if (!check.Centred()) return false;
    data.centred = true;
    data.sums = check.Sums();
    // F is the same for any common shift; one rounded to single keeps the shift exact for every score
    // within a factor of two of it, and with it every tie and every exactly additive table.
    ShiftValues(data.scores, static_cast<float>(ExactMean(data.scores)));
    return true;
}

float ThresholdF(float f) noexcept { return f - f / 1000.0f; }

Repeated1wayData ReadRepeated1wayData(DataFile& file) {
    Repeated1wayData data;
    data.treatments = ReadAtLeastTwo(file, "treatments", "treatment");
    data.subjects = ReadAtLeastTwo(file, "subjects", "subject");
    const std::int64_t total = static_cast<std::int64_t>(data.treatments) * data.subjects;
    if (total > kMaxDataValues) {
        RefuseData(file, "announces " + std::to_string(data.subjects) + " subjects of " +
                             std::to_string(data.treatments) + " treatments, " + std::to_string(total) +
                             " scores; at most " + std::to_string(kMaxDataValues) + " can be analysed.");
    }
    data.scores = file.ReadValues(static_cast<std::size_t>(total), "a score");
    data.sums = Wider(SumsFor(data.treatments, kRepeated1wayDesignedTreatments),
                      SumsFor(data.subjects, kRepeated1wayDesignedSubjects));

    // The largest running sum of squares is that of the subject totals (at most k times the sum of the
    // squared scores) or of the treatment totals (at most n times it).
    double squares = 0.0;
    for (const float v : data.scores) squares += static_cast<double>(v) * v;
    CheckSumsOfSquaresFit(file, squares * static_cast<double>(std::max(data.treatments, data.subjects)));
    if (AdditiveTable(data.scores, data.subjects, data.treatments)) {
        RefuseData(file, "leaves no variation once subjects and treatments are accounted for (every score is its "
                         "subject's level plus its treatment's), so SS error is 0 and F is undefined.");
    }
    CentreRepeated1wayIfNeeded(data);
    const RepeatedFFigures observed = ObservedFigures(data);
    if (observed.zeroSpread || !std::isfinite(observed.f)) {
        RefuseData(file, "leaves so little variation once subjects and treatments are accounted for, against the "
                         "differences between treatments, that F exceeds the single-precision range.");
    }
    return data;
}

std::vector<ResultBox> ObservedRepeated1wayBoxes(const Repeated1wayData& data) {
    return {ObtainedFBox(ObservedFigures(data).f)};
}

ExactFigures ExactRepeated1way(const Repeated1wayData& data, const RunSettings& settings, RunControl& control) {
    const std::int32_t n = data.subjects, k = data.treatments;
    const double total = RowOrderCount(n, k);
    const auto width = static_cast<std::int64_t>(data.scores.size());
    if (!WithinExactLimit(total, width, settings.exactLimit)) {
        return TooManyArrangements(total, settings.exactLimit, "within-subject orders", width);
    }
    double sum = 0.0;
    const std::vector<double> scores = LessTheFirst(data.scores, &sum);
    const double mean = sum / static_cast<double>(scores.size());
    const auto kk = static_cast<std::size_t>(k);
    const ExactStatistic treatments = [&scores, mean, n, kk](std::span<const std::int32_t> order) {
        thread_local std::vector<double> totals;
        totals.assign(kk, 0.0);
        for (std::size_t j = 0; j < static_cast<std::size_t>(n); ++j)
            for (std::size_t t = 0; t < kk; ++t) totals[t] += scores[j * kk + static_cast<std::size_t>(order[j * kk + t])];
        double ss = 0.0;
        for (const double columnTotal : totals) {
            const double gap = columnTotal / n - mean;
            ss += gap * gap;
        }
        return ss;
    };
    const ExactTail tails[] = {ExactTail::Upper};
    return MakeExactFigures(CountRowOrders(n, k, treatments, tails, settings.threads, control), {"txtProbMore"},
                            "within-subject orders");
}

Repeated1wayResult RunRepeated1way(Repeated1wayData data, const RunSettings& settings, Generator& generator,
                                   RunControl& control) {
    CheckResamples(settings.resamples);
    const std::int32_t R = settings.resamples;
    Repeated1wayResult result;
    result.centred = data.centred;
    result.observed = ObservedFigures(data);
    result.threshold = ThresholdF(result.observed.f);
    result.resampled.assign(static_cast<std::size_t>(R), 0.0f);
    result.exact = ExactRepeated1way(data, settings, control);

    control.resampleTotal.store(R, std::memory_order_relaxed);
    Permutations(data, R, settings.threads, generator, control, result);
    for (const float f : result.resampled) result.count += f >= result.threshold;
    result.proportion = static_cast<float>(static_cast<double>(result.count) / R);
    result.nonFinite = CountNonFinite(result.resampled);
    return result;
}

RunResult PresentRepeated1way(Repeated1wayResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedFBox(r.observed.f),
        MakeBox(kRepeated1wayBoxes[1], r.count),
        MakeBox(kRepeated1wayBoxes[2], r.proportion),
    };
    run.histogram = {.caption = "F value",
                     .observed = r.threshold,
                     .bounds = std::pair{0.0f, 10.0f},
                     .observedLabel = "Obtained F",
                     .obtained = r.observed.f,
                     .extreme = ExtremeRegion{ExtremeRegion::Tails::Upper, r.threshold}};
    const NonFiniteCount& nf = r.nonFinite;
    if (nf.Total() > 0) {
        std::string note = std::to_string(nf.Total()) + " of the " + std::to_string(settings.resamples) +
                           " permutations left no variation once subjects and treatments are accounted for "
                           "(SS error 0): " + std::to_string(nf.positiveInfinite) +
                           " gave an infinite F, counted as reaching the obtained one";
        if (nf.negativeInfinite + nf.undefined > 0) {
            note += ", and " + std::to_string(nf.negativeInfinite + nf.undefined) +
                    " an F of -inf or nan (no treatment variation either), not counted";
        }
        run.notes.push_back(note + ". The output file shows them as inf or nan; the histogram leaves them out.");
    }
    if (r.centred) run.notes.push_back(kCentredRunNote);
    run.exact = std::move(r.exact);  // its note follows the Monte Carlo notes (AddMonteCarloNotes)
    run.resampled = std::move(r.resampled);
    return run;
}

RunResult Repeated1wayProcedure(DataFile& file, const RunSettings& settings, Generator& generator,
                                RunControl& control) {
    CheckResamples(settings.resamples);
    return PresentRepeated1way(RunRepeated1way(ReadRepeated1wayData(file), settings, generator, control),
                               settings);
}

}  // namespace brevant
