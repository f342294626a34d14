#include "analysis/DrawnRows.h"

#include "analysis/lanes/CasePickLanes.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <charconv>
#include <string>

namespace brevant {

static_assert(kPickedRowsBatch % kRowSumsSideBySide == 0);

void DrawIndices(DrawPath path, BlockGenerator& g, std::int32_t m, std::span<std::int32_t> out) noexcept {
    for (std::size_t done = 0; done < out.size();) {
        const std::span<const double> draws = g.Take(out.size() - done);
        CaseNumbers(path, draws, m, out.data() + done);
        done += draws.size();
    }
}

void SumPickedRows(DrawPath path, SumPrecision precision, const RowTable& table, const std::int32_t* picked,
                   std::int32_t n, std::int32_t count, RowSums* out) noexcept {
    SumRowLanes(path, precision, table, picked, n, count, out);
}

namespace {
constexpr int kSingleXX = 0, kSingleYY = 1, kSingleXY = 2;  // doubles
constexpr int kSingleX = 0, kSingleY = 1;                    // floats
constexpr int kDoubleX = 0, kDoubleY = 1, kDoubleXX = 2, kDoubleYY = 3, kDoubleXY = 4;
}  // namespace

CorrelationRows CorrelationRowsOf(const float* x, const float* y, std::size_t stride, std::size_t n,
                                  SumPrecision precision) {
    CorrelationRows t;
    if (precision == SumPrecision::Single) {
        t.doubles.resize(4 * n);
        t.floats.resize(4 * n);
        for (std::size_t r = 0; r < n; ++r) {
            const float xr = x[r * stride], yr = y[r * stride];
            const double xd = xr, yd = yr;
            t.doubles[4 * r + kSingleXX] = xd * xd, t.doubles[4 * r + kSingleYY] = yd * yd;
            t.doubles[4 * r + kSingleXY] = xd * yd;
            t.floats[4 * r + kSingleX] = xr, t.floats[4 * r + kSingleY] = yr;
        }
        t.table = {t.doubles.data(), 1, t.floats.data()};
    } else {
        t.doubles.resize(8 * n);
        for (std::size_t r = 0; r < n; ++r) {
            const double xd = x[r * stride], yd = y[r * stride];
            const double row[] = {xd, yd, xd * xd, yd * yd, xd * yd};
            std::copy(std::begin(row), std::end(row), t.doubles.begin() + static_cast<std::ptrdiff_t>(8 * r));
        }
        t.table = {t.doubles.data(), 2, nullptr};
    }
    return t;
}

ExactCorrelation ExactCorrelationOf(std::span<const float> x, std::span<const float> y) noexcept {
    ExactCorrelation e;
    e.varX = ExactVariance(x);
    e.varY = ExactVariance(y);
    e.cov = ExactCovariance(x, y);
    e.r = e.cov / std::sqrt(e.varX * e.varY);
    return e;
}

bool ShownBeyondOne(const ResultBox& box) {
    const std::string text = BoxText(box);  // C locale
    double shown = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), shown);
    return std::fabs(shown) > 1.0;
}

bool CentreEachColumn(PrecisionCheck& check, const ResultBox& obtained, std::initializer_list<std::vector<float>*> columns) {
    for (const std::vector<float>* column : columns) check.Conditioning(*column);
    if (ShownBeyondOne(obtained)) check.Require();
    if (!check.Centred()) return false;
    for (std::vector<float>* column : columns) ShiftValues(*column, ExactMean(*column));
    return true;
}

CorrelationTotals CorrelationTotalsOf(const RowSums& s, SumPrecision precision) noexcept {
    if (precision == SumPrecision::Single) {
        return {s.floats[kSingleX], s.floats[kSingleY], s.doubles[kSingleXX], s.doubles[kSingleYY],
                s.doubles[kSingleXY]};
    }
    return {s.doubles[kDoubleX], s.doubles[kDoubleY], s.doubles[kDoubleXX], s.doubles[kDoubleYY],
            s.doubles[kDoubleXY]};
}

}  // namespace brevant
