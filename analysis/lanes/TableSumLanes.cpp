#include "analysis/lanes/TableSumLanes.h"

#include "analysis/lanes/Avx2Widen.h"

#include <algorithm>
#include <cstddef>
#include <type_traits>
#include <vector>

namespace brevant {

namespace {

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

#ifdef BREVANT_LANES_X86

using lanes::EightDoubles;

// Eight lanes of a running sum: float lanes for Acc float, two halves of double lanes for double.
template <typename Acc>
struct Lanes;
template <>
struct Lanes<float> {
    __m256 v;
    BREVANT_AVX2 static Lanes Zero() { return {_mm256_setzero_ps()}; }
    BREVANT_AVX2 static Lanes Load(const float* p) { return {_mm256_loadu_ps(p)}; }
    BREVANT_AVX2 void Store(float* p) const { _mm256_storeu_ps(p, v); }
    BREVANT_AVX2 void Add(__m256 x) { v = _mm256_add_ps(v, x); }
};
template <>
struct Lanes<double> {
    EightDoubles d;
    BREVANT_AVX2 static Lanes Zero() { return {lanes::ZeroDoubles()}; }
    BREVANT_AVX2 static Lanes Load(const double* p) { return {{_mm256_loadu_pd(p), _mm256_loadu_pd(p + 4)}}; }
    BREVANT_AVX2 void Store(double* p) const { lanes::Store(d, p); }
    BREVANT_AVX2 void Add(__m256 x) { d = lanes::Add(d, lanes::Widen(x)); }
    BREVANT_AVX2 void AddSquare(__m256 x) { d = lanes::AddSquares(d, lanes::Widen(x)); }
    // The double sum's own square added: AddSquare of a double x.
    BREVANT_AVX2 void AddSquareOf(const Lanes& x) { d = lanes::AddSquares(d, x.d); }
};

// Eight lanes of a single-precision running sum of squares, float(double(sum) + double(x)^2) in each lane
// exactly as AddSquare. Kept as two halves of four, so that a step is a widening, an addition and a
// narrowing, with no shuffle of halves on the chain from one step to the next.
struct FloatSquares {
    __m128 low, high;
    BREVANT_AVX2 static FloatSquares Zero() { return {_mm_setzero_ps(), _mm_setzero_ps()}; }
    BREVANT_AVX2 void Store(float* p) const {
        _mm_storeu_ps(p, low);
        _mm_storeu_ps(p + 4, high);
    }
    BREVANT_AVX2 void AddSquare(__m256 x) {
        low = _mm256_cvtpd_ps(lanes::AddSquare(_mm256_cvtps_pd(low), lanes::WidenLow(x)));
        high = _mm256_cvtpd_ps(lanes::AddSquare(_mm256_cvtps_pd(high), lanes::WidenHigh(x)));
    }
    BREVANT_AVX2 void AddSquareOf(const Lanes<float>& x) { AddSquare(x.v); }
};

template <typename Acc>
using SquareLanes = std::conditional_t<std::is_same_v<Acc, float>, FloatSquares, Lanes<double>>;

// Groups of eight lanes run together: enough independent chains to hide the latency of a step of the
// sum of squares (a widening, an addition and a narrowing), few enough to stay in registers.
template <typename Acc>
inline constexpr int kGroups = std::is_same_v<Acc, float> ? 4 : 2;

// Four scores of eight tables, table j's at tables + starts[j] + p, turned into four vectors of eight
// lanes: x[i] holds score p + i of each table, lane j of table j. Two four-by-four transposes side by side
// (tables 0-3 in the low halves, 4-7 in the high ones), in place of a gather per score.
BREVANT_AVX2 inline void TransposedFour(const float* tables, const std::int32_t* starts, std::int32_t p,
                                        __m256* x) noexcept {
    __m256 r[4];
    for (int i = 0; i < 4; ++i) {
        r[i] = _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(tables + starts[i] + p)),
                                    _mm_loadu_ps(tables + starts[4 + i] + p), 1);
    }
    const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpacklo_ps(r[2], r[3]);
    const __m256 t2 = _mm256_unpackhi_ps(r[0], r[1]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
    x[0] = _mm256_shuffle_ps(t0, t1, 0x44);
    x[1] = _mm256_shuffle_ps(t0, t1, 0xEE);
    x[2] = _mm256_shuffle_ps(t2, t3, 0x44);
    x[3] = _mm256_shuffle_ps(t2, t3, 0xEE);
}

// The running sums of Groups groups of eight tables, score by score in table order.
template <typename Acc, int Groups>
struct TableLanes {
    Lanes<Acc> grand[Groups], subject[Groups];
    SquareLanes<Acc> squares[Groups], subjectSquares[Groups];
    Acc* totals;  // treatment t of group g at 8 (g k + t)
    std::int32_t k, t = 0;

    BREVANT_AVX2 TableLanes(Acc* treatmentTotals, std::int32_t treatments) noexcept
        : totals(treatmentTotals), k(treatments) {
        for (int g = 0; g < Groups; ++g) {
            grand[g] = Lanes<Acc>::Zero();
            subject[g] = Lanes<Acc>::Zero();
            squares[g] = SquareLanes<Acc>::Zero();
            subjectSquares[g] = SquareLanes<Acc>::Zero();
        }
        std::fill_n(totals, static_cast<std::size_t>(8 * Groups * k), Acc(0));
    }

    // The next score of each table, x[g] of group g: treatment t of its row, the row ending with the last.
    BREVANT_AVX2 void Add(const __m256* x) noexcept {
        for (int g = 0; g < Groups; ++g) {
            grand[g].Add(x[g]);
            squares[g].AddSquare(x[g]);
            subject[g].Add(x[g]);
            Acc* const total = totals + static_cast<std::size_t>(8 * (g * k + t));
            Lanes<Acc> sum = Lanes<Acc>::Load(total);
            sum.Add(x[g]);
            sum.Store(total);
        }
        if (++t < k) return;
        t = 0;
        for (int g = 0; g < Groups; ++g) {
            subjectSquares[g].AddSquareOf(subject[g]);
            subject[g] = Lanes<Acc>::Zero();
        }
    }
};

// SumsSideBySide in groups of AVX2 lanes, lane j the table at tables + starts[j] (8 * Groups lanes): each
// lane does exactly the scalar operations in the same order, so the sums agree bit for bit. The scores come
// four at a time through transposes, the last n k mod 4 by gathers. totals holds 8 * Groups * k sums.
template <typename Acc, int Groups>
BREVANT_AVX2 void SumsSideBySideAvx2(const float* tables, const std::int32_t* starts, std::int32_t n, std::int32_t k,
                                     Acc* totals, TableSums* sums) noexcept {
    const auto size = static_cast<std::int32_t>(static_cast<std::int64_t>(n) * k);
    TableLanes<Acc, Groups> running(totals, k);
    std::int32_t p = 0;
    for (; p + 4 <= size; p += 4) {
        __m256 four[4][Groups];
        for (int g = 0; g < Groups; ++g) {
            __m256 x[4];
            TransposedFour(tables, starts + 8 * g, p, x);
            for (int i = 0; i < 4; ++i) four[i][g] = x[i];
        }
        for (int i = 0; i < 4; ++i) running.Add(four[i]);
    }
    for (; p < size; ++p) {
        __m256 x[Groups];
        for (int g = 0; g < Groups; ++g) {
            const __m256i at = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(starts + 8 * g));
            x[g] = _mm256_i32gather_ps(tables, _mm256_add_epi32(at, _mm256_set1_epi32(p)), 4);
        }
        running.Add(x);
    }
    const auto& grand = running.grand;
    const auto& squares = running.squares;
    const auto& subjectSquares = running.subjectSquares;
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
BREVANT_AVX2 void PermutedSumsAvx2(const float* tables, std::int32_t count, std::int32_t n, std::int32_t k,
                                   TableSums* sums) {
    constexpr int kWide = 8 * kGroups<Acc>;
    const auto size = static_cast<std::int32_t>(static_cast<std::int64_t>(n) * k);
    std::vector<Acc> totals(static_cast<std::size_t>(kWide * k));
    std::int32_t starts[kWide];
    std::int32_t b = 0;
    for (; b + kWide <= count; b += kWide) {
        for (std::int32_t j = 0; j < kWide; ++j) starts[j] = j * size;
        SumsSideBySideAvx2<Acc, kGroups<Acc>>(tables + static_cast<std::size_t>(b) * size, starts, n, k,
                                              totals.data(), sums + b);
    }
    for (; b < count; b += 8) {
        TableSums eight[8];
        for (std::int32_t j = 0; j < 8; ++j) starts[j] = std::min(j, count - 1 - b) * size;
        SumsSideBySideAvx2<Acc, 1>(tables + static_cast<std::size_t>(b) * size, starts, n, k, totals.data(), eight);
        std::copy_n(eight, std::min(8, count - b), sums + b);
    }
}

#endif

template <typename Acc>
void SumTablesIn(DrawPath path, const float* tables, std::int32_t count, std::int32_t n, std::int32_t k,
                 TableSums* sums) {
#ifdef BREVANT_LANES_X86
    if (path == DrawPath::Avx2) {
        PermutedSumsAvx2<Acc>(tables, count, n, k, sums);
        return;
    }
#endif
    (void)path;
    const std::size_t size = static_cast<std::size_t>(n) * static_cast<std::size_t>(k);
    std::vector<Acc> totals;
    std::int32_t b = 0;
    for (; b + kSide <= count; b += kSide) {
        SumsSideBySide(tables + static_cast<std::size_t>(b) * size, n, k, totals, sums + b);
    }
    for (; b < count; ++b) sums[b] = SumsOfTable(tables + static_cast<std::size_t>(b) * size, n, k, totals);
}

}  // namespace

void SumTables(DrawPath path, SumPrecision precision, const float* tables, std::int32_t count, std::int32_t n,
               std::int32_t k, TableSums* sums) {
    if (precision == SumPrecision::Single) {
        SumTablesIn<float>(path, tables, count, n, k, sums);
    } else {
        SumTablesIn<double>(path, tables, count, n, k, sums);
    }
}

}  // namespace brevant
