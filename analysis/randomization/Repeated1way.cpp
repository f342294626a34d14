#include "analysis/randomization/Repeated1way.h"

#include "analysis/ExactShares.h"
#include "analysis/Parallel.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define BREVANT_REPEATED_X86 1
#endif

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <type_traits>

namespace brevant {

namespace {

// The sums behind one F: of all scores, of their squares, and of the squared subject and treatment totals.
struct TableSums {
    double grand = 0, squares = 0, subjectSquares = 0, treatmentSquares = 0;
};

// Acc is float for single-precision running sums (a float addition is the double addition rounded to
// float) and double past the designed sizes. Squares are formed in double.
template <typename Acc>
inline Acc AddSquare(Acc sum, Acc x) noexcept {
    return static_cast<Acc>(static_cast<double>(sum) + static_cast<double>(x) * static_cast<double>(x));
}

// One subject's row into the running sums, scores in treatment order.
template <typename Acc>
inline void AddRow(const float* row, std::int32_t k, Acc* treatmentTotals, Acc& grand, Acc& squares,
                   Acc& subjectSquares) noexcept {
    Acc subject = 0;
    for (std::int32_t t = 0; t < k; ++t) {
        const Acc x = row[t];
        grand += x;
        squares = AddSquare(squares, x);
        subject += x;
        treatmentTotals[t] += x;
    }
    subjectSquares = AddSquare(subjectSquares, subject);
}

template <typename Acc>
inline TableSums Finish(Acc grand, Acc squares, Acc subjectSquares, const Acc* treatmentTotals,
                        std::int32_t k) noexcept {
    Acc treatmentSquares = 0;
    for (std::int32_t t = 0; t < k; ++t) treatmentSquares = AddSquare(treatmentSquares, treatmentTotals[t]);
    return {grand, squares, subjectSquares, treatmentSquares};
}

template <typename Acc>
TableSums SumsOfTable(const float* scores, std::int32_t n, std::int32_t k, std::vector<Acc>& treatmentTotals) {
    treatmentTotals.assign(static_cast<std::size_t>(k), Acc(0));
    Acc grand = 0, squares = 0, subjectSquares = 0;
    for (std::int32_t j = 0; j < n; ++j) {
        AddRow(scores + static_cast<std::size_t>(j) * k, k, treatmentTotals.data(), grand, squares, subjectSquares);
    }
    return Finish(grand, squares, subjectSquares, treatmentTotals.data(), k);
}

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

// The sums of kSide tables (one after another, n rows of k each) side by side: each table's sums add its
// scores in the same order as SumsOfTable; the tables' separate dependency chains overlap.
constexpr std::int32_t kSide = 8;
template <typename Acc>
void SumsSideBySide(const float* tables, std::int32_t n, std::int32_t k, std::vector<Acc>& totals,
                    TableSums* sums) noexcept {
    const std::size_t size = static_cast<std::size_t>(n) * static_cast<std::size_t>(k);
    totals.assign(static_cast<std::size_t>(kSide * k), Acc(0));
    Acc grand[kSide] = {}, squares[kSide] = {}, subjectSquares[kSide] = {};
    for (std::size_t row = 0; row < size; row += static_cast<std::size_t>(k)) {
        Acc subject[kSide] = {};
        for (std::int32_t t = 0; t < k; ++t) {
            for (std::int32_t j = 0; j < kSide; ++j) {
                const Acc x = tables[static_cast<std::size_t>(j) * size + row + static_cast<std::size_t>(t)];
                grand[j] += x;
                squares[j] = AddSquare(squares[j], x);
                subject[j] += x;
                totals[static_cast<std::size_t>(j * k + t)] += x;
            }
        }
        for (std::int32_t j = 0; j < kSide; ++j) subjectSquares[j] = AddSquare(subjectSquares[j], subject[j]);
    }
    for (std::int32_t j = 0; j < kSide; ++j) {
        sums[j] = Finish(grand[j], squares[j], subjectSquares[j], totals.data() + j * k, k);
    }
}

#ifdef BREVANT_REPEATED_X86

__attribute__((target("avx2"))) inline __m256d Low(__m256 v) { return _mm256_cvtps_pd(_mm256_castps256_ps128(v)); }
__attribute__((target("avx2"))) inline __m256d High(__m256 v) { return _mm256_cvtps_pd(_mm256_extractf128_ps(v, 1)); }

// Eight lanes of a running sum: float lanes for Acc float, two halves of double lanes for double.
template <typename Acc>
struct Lanes;
template <>
struct Lanes<float> {
    __m256 v;
    __attribute__((target("avx2"))) static Lanes Zero() { return {_mm256_setzero_ps()}; }
    __attribute__((target("avx2"))) static Lanes Load(const float* p) { return {_mm256_loadu_ps(p)}; }
    __attribute__((target("avx2"))) void Store(float* p) const { _mm256_storeu_ps(p, v); }
    __attribute__((target("avx2"))) void Add(__m256 x) { v = _mm256_add_ps(v, x); }
};
template <>
struct Lanes<double> {
    __m256d low, high;
    __attribute__((target("avx2"))) static Lanes Zero() { return {_mm256_setzero_pd(), _mm256_setzero_pd()}; }
    __attribute__((target("avx2"))) static Lanes Load(const double* p) { return {_mm256_loadu_pd(p), _mm256_loadu_pd(p + 4)}; }
    __attribute__((target("avx2"))) void Store(double* p) const {
        _mm256_storeu_pd(p, low);
        _mm256_storeu_pd(p + 4, high);
    }
    __attribute__((target("avx2"))) void Add(__m256 x) {
        low = _mm256_add_pd(low, Low(x));
        high = _mm256_add_pd(high, High(x));
    }
    __attribute__((target("avx2"))) void AddSquare(__m256 x) {
        const __m256d xl = Low(x), xh = High(x);
        low = _mm256_add_pd(low, _mm256_mul_pd(xl, xl));
        high = _mm256_add_pd(high, _mm256_mul_pd(xh, xh));
    }
    // The double sum's own square added: AddSquare of a double x.
    __attribute__((target("avx2"))) void AddSquareOf(const Lanes& x) {
        low = _mm256_add_pd(low, _mm256_mul_pd(x.low, x.low));
        high = _mm256_add_pd(high, _mm256_mul_pd(x.high, x.high));
    }
};

// Eight lanes of a single-precision running sum of squares, float(double(sum) + double(x)^2) in each lane
// exactly as AddSquare. Kept as two halves of four, so that a step is a widening, an addition and a
// narrowing, with no shuffle of halves on the chain from one step to the next.
struct FloatSquares {
    __m128 low, high;
    __attribute__((target("avx2"))) static FloatSquares Zero() { return {_mm_setzero_ps(), _mm_setzero_ps()}; }
    __attribute__((target("avx2"))) void Store(float* p) const {
        _mm_storeu_ps(p, low);
        _mm_storeu_ps(p + 4, high);
    }
    __attribute__((target("avx2"))) void AddSquare(__m256 x) {
        const __m256d xl = Low(x), xh = High(x);
        low = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_cvtps_pd(low), _mm256_mul_pd(xl, xl)));
        high = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_cvtps_pd(high), _mm256_mul_pd(xh, xh)));
    }
    __attribute__((target("avx2"))) void AddSquareOf(const Lanes<float>& x) { AddSquare(x.v); }
};

template <typename Acc>
using SquareLanes = std::conditional_t<std::is_same_v<Acc, float>, FloatSquares, Lanes<double>>;

// Groups of eight lanes run together: enough independent chains to hide the latency of a step of the
// sum of squares (a widening, an addition and a narrowing), few enough to stay in registers.
template <typename Acc>
inline constexpr int kGroups = std::is_same_v<Acc, float> ? 4 : 2;

// SumsSideBySide in groups of AVX2 lanes, lane j the table at tables + lanes[j] (8 * Groups lanes): each
// lane does exactly the scalar operations in the same order, so the sums agree bit for bit. totals holds
// 8 * Groups * k sums.
template <typename Acc, int Groups>
__attribute__((target("avx2"))) void SumsSideBySideAvx2(const float* tables, const std::int32_t* lanes,
                                                        std::int32_t n, std::int32_t k, Acc* totals,
                                                        TableSums* sums) noexcept {
    const auto size = static_cast<std::int32_t>(static_cast<std::int64_t>(n) * k);
    __m256i lane[Groups];
    Lanes<Acc> grand[Groups];
    SquareLanes<Acc> squares[Groups], subjectSquares[Groups];
    for (int g = 0; g < Groups; ++g) {
        lane[g] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lanes + 8 * g));
        grand[g] = Lanes<Acc>::Zero();
        squares[g] = SquareLanes<Acc>::Zero();
        subjectSquares[g] = SquareLanes<Acc>::Zero();
    }
    std::fill_n(totals, static_cast<std::size_t>(8 * Groups * k), Acc(0));  // treatment t of group g at 8 (g k + t)
    for (std::int32_t row = 0; row < size; row += k) {
        Lanes<Acc> subject[Groups];
        for (int g = 0; g < Groups; ++g) subject[g] = Lanes<Acc>::Zero();
        for (std::int32_t t = 0; t < k; ++t) {
            const __m256i at = _mm256_set1_epi32(row + t);
            for (int g = 0; g < Groups; ++g) {
                const __m256 x = _mm256_i32gather_ps(tables, _mm256_add_epi32(lane[g], at), 4);
                grand[g].Add(x);
                squares[g].AddSquare(x);
                subject[g].Add(x);
                Acc* const total = totals + static_cast<std::size_t>(8 * (g * k + t));
                Lanes<Acc> sum = Lanes<Acc>::Load(total);
                sum.Add(x);
                sum.Store(total);
            }
        }
        for (int g = 0; g < Groups; ++g) subjectSquares[g].AddSquareOf(subject[g]);
    }
    std::vector<Acc> laneTotals(static_cast<std::size_t>(k));
    for (int g = 0; g < Groups; ++g) {
        Acc grandOf[8], squaresOf[8], subjectSquaresOf[8];
        grand[g].Store(grandOf);
        squares[g].Store(squaresOf);
        subjectSquares[g].Store(subjectSquaresOf);
        for (std::int32_t j = 0; j < 8; ++j) {
            for (std::int32_t t = 0; t < k; ++t) {
                laneTotals[static_cast<std::size_t>(t)] = totals[static_cast<std::size_t>(8 * (g * k + t) + j)];
            }
            sums[8 * g + j] = Finish(grandOf[j], squaresOf[j], subjectSquaresOf[j], laneTotals.data(), k);
        }
    }
}

// The sums of count tables, one after another: groups of lanes while whole groups remain, then eight lanes
// at a time, the lanes past the last table repeating it (their sums unused).
template <typename Acc>
__attribute__((target("avx2"))) void PermutedSumsAvx2(const float* tables, std::int32_t count, std::int32_t n,
                                                      std::int32_t k, TableSums* sums) {
    constexpr int kWide = 8 * kGroups<Acc>;
    const auto size = static_cast<std::int32_t>(static_cast<std::int64_t>(n) * k);
    std::vector<Acc> totals(static_cast<std::size_t>(kWide * k));
    std::int32_t lanes[kWide];
    std::int32_t b = 0;
    for (; b + kWide <= count; b += kWide) {
        for (std::int32_t j = 0; j < kWide; ++j) lanes[j] = j * size;
        SumsSideBySideAvx2<Acc, kGroups<Acc>>(tables + static_cast<std::size_t>(b) * size, lanes, n, k,
                                              totals.data(), sums + b);
    }
    for (; b < count; b += 8) {
        TableSums eight[8];
        for (std::int32_t j = 0; j < 8; ++j) lanes[j] = std::min(j, count - 1 - b) * size;
        SumsSideBySideAvx2<Acc, 1>(tables + static_cast<std::size_t>(b) * size, lanes, n, k, totals.data(), eight);
        std::copy_n(eight, std::min(8, count - b), sums + b);
    }
}

// One row shuffled by its order: the eight floats from the row's start permuted, the lanes past the row
// left in place (the next row's store writes over them).
__attribute__((target("avx2"))) inline void OrderRowAvx2(const std::uint8_t* order, const float* from, float* to) {
    const __m256i lanes = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(order)));
    _mm256_storeu_ps(to, _mm256_permutevar8x32_ps(_mm256_loadu_ps(from), lanes));
}

// The same for a row whose eight floats would pass the end of the arrays: only its own k lanes loaded and
// stored.
__attribute__((target("avx2"))) inline void OrderLastRowAvx2(const std::uint8_t* order, std::int32_t k,
                                                             const float* from, float* to) {
    const __m256i lanes = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(order)));
    const __m256i own = _mm256_cmpgt_epi32(_mm256_set1_epi32(k), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    _mm256_maskstore_ps(to, own, _mm256_permutevar8x32_ps(_mm256_maskload_ps(from, own), lanes));
}

// The rows whose eight floats and (for up to four draws a row) four draws lie inside the arrays; the
// code of a row of up to four draws from one vector: each index exactly as Index (product, then sum, then
// truncation), the weighted sum by a multiply-add of 16-bit halves (indices and weights are small).
__attribute__((target("avx2"))) void OrderRowsAvx2(const std::uint8_t* orders, const double* scales,
                                                   const std::int32_t* weights, std::int32_t firstCode,
                                                   std::int32_t k, std::size_t rows, const double* draws,
                                                   const float* from, float* to) {
    const auto rowDraws = static_cast<std::size_t>(k - 1);
    const __m256d scale = _mm256_loadu_pd(scales), one = _mm256_set1_pd(1.0);
    const __m128i weight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights));
    for (std::size_t r = 0; r < rows; ++r) {
        const __m256d x = _mm256_add_pd(_mm256_mul_pd(_mm256_loadu_pd(draws + r * rowDraws), scale), one);
        __m128i sum = _mm_madd_epi16(_mm256_cvttpd_epi32(x), weight);
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
        sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
        const std::int32_t code = _mm_cvtsi128_si32(sum) - firstCode;
        OrderRowAvx2(orders + 8 * static_cast<std::size_t>(code), from + r * static_cast<std::size_t>(k),
                     to + r * static_cast<std::size_t>(k));
    }
}

#endif

// The F of count permuted tables, one after another, side by side on the given path.
template <typename Acc>
void PermutedFs(DrawPath path, const float* tables, std::int32_t count, std::int32_t n, std::int32_t k, bool centred,
                float* out) {
    const std::size_t size = static_cast<std::size_t>(n) * static_cast<std::size_t>(k);
    std::vector<TableSums> sums(static_cast<std::size_t>(count));
    std::int32_t b = 0;
#ifdef BREVANT_REPEATED_X86
    if (path == DrawPath::Avx2) {
        PermutedSumsAvx2<Acc>(tables, count, n, k, sums.data());
        b = count;
    }
#else
    (void)path;
#endif
    std::vector<Acc> totals;
    for (; b + kSide <= count; b += kSide) {
        SumsSideBySide(tables + static_cast<std::size_t>(b) * size, n, k, totals, sums.data() + b);
    }
    for (; b < count; ++b) {
        sums[static_cast<std::size_t>(b)] = SumsOfTable(tables + static_cast<std::size_t>(b) * size, n, k, totals);
    }
    for (b = 0; b < count; ++b) {
        const std::span<const float> table(tables + static_cast<std::size_t>(b) * size, size);
        out[b] = FFromSums(sums[static_cast<std::size_t>(b)], n, k, AdditiveTable(table, n, k), centred).f;
    }
}

// The resample loop. Each pass shuffles every row from where the last pass left it, drawing k - 1 numbers
// per row, rows in subject order: the rows are shuffled on every thread (each its own rows, skipping the
// others' draws) and the F of each pass's table computed on every thread; the count is taken afterwards.
template <typename Acc>
void Permutations(Repeated1wayData& data, std::int32_t R, int threads, Generator& generator,
                  RunControl& control, Repeated1wayResult& result) {
    const std::int32_t n = data.subjects, k = data.treatments;
    float* const out = result.resampled.data();
    const DrawPath path = ActiveDrawPath();
    const RowShuffler shuffle(k, path);
    const RowRearrangement shuffles{static_cast<std::size_t>(k), static_cast<std::uint64_t>(k - 1), std::cref(shuffle)};
    const bool centred = data.centred;
    RowsAlongside(data.scores, R, threads, generator, control, shuffles,
                  [&](std::int32_t first, std::int32_t count, const float* tables) {
                      PermutedFs<Acc>(path, tables, count, n, k, centred, out + first);
                  });
}

ResultBox ObtainedFBox(float f) { return {"txtObtF", "label1", "Obtained F", f, BoxFormat::General}; }

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
    if (k_ > kMostOrderedTreatments) return;
    std::int32_t codes = 1;
    for (std::int32_t m = k_; m >= 2; --m) {
        scales_.push_back(static_cast<double>(m) - 0.0001);
        weights_.push_back(codes);
        firstCode_ += codes;
        codes *= m;
    }
    // Every order, from the swaps its indices make: index j of the draw that picks among m swaps places j
    // and m, as ShuffleArray does, applied here to the places the scores come from.
    orders_.resize(8 * static_cast<std::size_t>(codes));
    for (std::int32_t code = 0; code < codes; ++code) {
        std::uint8_t* const order = orders_.data() + 8 * static_cast<std::size_t>(code);
        for (std::uint8_t t = 0; t < 8; ++t) order[t] = t;
        std::int32_t rest = code;
        for (std::int32_t m = k_; m >= 2; --m) {
            std::swap(order[rest % m], order[m - 1]);
            rest /= m;
        }
    }
    // The vector path reads eight floats from a row's start, and for up to five treatments four draws:
    // the last rows, whose reads would pass the end, go on their own.
    const auto beyond = [](std::int32_t read, std::int32_t per) { return (read + per - 1) / per - 1; };
    lastRows_ = static_cast<std::size_t>(std::max(beyond(8, k_), k_ <= 5 ? beyond(4, k_ - 1) : 0));
    // It reads four scales and weights: zeros past the draws give index 1 with weight 0.
    scales_.resize(std::max<std::size_t>(scales_.size(), 4), 0.0);
    weights_.resize(std::max<std::size_t>(weights_.size(), 4), 0);
}

std::int32_t RowShuffler::Code(const double* draws) const noexcept {
    std::int32_t code = -firstCode_;
    for (std::int32_t d = 0; d < k_ - 1; ++d) {
        const double index = draws[d] * scales_[static_cast<std::size_t>(d)] + 1.0;  // as Index: index >= 1
        code += static_cast<std::int32_t>(index) * weights_[static_cast<std::size_t>(d)];
    }
    return code;
}

void RowShuffler::Ordered(const double* draws, std::span<const float> from, std::span<float> to) const {
    const auto k = static_cast<std::size_t>(k_);
    const std::size_t rows = from.size() / k;
    std::size_t r = 0;
#ifdef BREVANT_REPEATED_X86
    if (path_ == DrawPath::Avx2) {
        const std::size_t whole = rows > lastRows_ ? rows - lastRows_ : 0;
        if (k_ <= 5) {
            OrderRowsAvx2(orders_.data(), scales_.data(), weights_.data(), firstCode_, k_, whole, draws, from.data(),
                          to.data());
        } else {
            for (std::size_t w = 0; w < whole; ++w) {
                OrderRowAvx2(orders_.data() + 8 * static_cast<std::size_t>(Code(draws + w * (k - 1))),
                             from.data() + w * k, to.data() + w * k);
            }
        }
        for (r = whole; r < rows; ++r) {
            OrderLastRowAvx2(orders_.data() + 8 * static_cast<std::size_t>(Code(draws + r * (k - 1))), k_,
                             from.data() + r * k, to.data() + r * k);
        }
        return;
    }
#endif
    for (; r < rows; ++r) {
        const std::uint8_t* const order = orders_.data() + 8 * static_cast<std::size_t>(Code(draws + r * (k - 1)));
        for (std::size_t t = 0; t < k; ++t) to[r * k + t] = from[r * k + order[t]];
    }
}

void RowShuffler::operator()(DrawsFrom& draws, std::span<const float> from, std::span<float> to) const {
    const auto k = static_cast<std::size_t>(k_);
    if (orders_.empty()) {  // too many orders to table: the swaps themselves
        std::ranges::copy(from, to.begin());
        for (std::size_t row = 0; row < to.size(); row += k) {
            for (std::int32_t i = k_; i >= 2; --i) {
                std::swap(to[row + static_cast<std::size_t>(draws.Index(i) - 1)], to[row + static_cast<std::size_t>(i - 1)]);
            }
        }
        return;
    }
    Ordered(draws.Take(from.size() / k * (k - 1)), from, to);
}

void RepeatedFOfTables(DrawPath path, SumPrecision sums, const float* tables, std::int32_t count,
                       std::int32_t subjects, std::int32_t treatments, float* out, bool centred) {
    if (sums == SumPrecision::Single) {
        PermutedFs<float>(path, tables, count, subjects, treatments, centred, out);
    } else {
        PermutedFs<double>(path, tables, count, subjects, treatments, centred, out);
    }
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
    if (sums == SumPrecision::Single) {
        std::vector<float> totals;
        s = SumsOfTable(scores.data(), subjects, treatments, totals);
    } else {
        std::vector<double> totals;
        s = SumsOfTable(scores.data(), subjects, treatments, totals);
    }
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
    if (data.sums == SumPrecision::Single) {
        Permutations<float>(data, R, settings.threads, generator, control, result);
    } else {
        Permutations<double>(data, R, settings.threads, generator, control, result);
    }
    for (const float f : result.resampled) result.count += f >= result.threshold;
    result.proportion = static_cast<float>(static_cast<double>(result.count) / R);
    result.nonFinite = CountNonFinite(result.resampled);
    return result;
}

RunResult PresentRepeated1way(Repeated1wayResult&& r, const RunSettings& settings) {
    RunResult run;
    run.boxes = {
        ObtainedFBox(r.observed.f),
        {"txtPctGreater", "Label2", "Number >= F", r.count, BoxFormat::General},
        {"txtProbMore", "Label3", "p as extreme", r.proportion, BoxFormat::General, BoxMeaning::Proportion},
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
