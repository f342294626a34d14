#include "analysis/Procedure.h"

#include "engine/DataFile.h"
#include "engine/Histogram.h"
#include "engine/Module1.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>

namespace brevant {

void CheckResamples(std::int32_t resamples) {
    if (resamples < 1 || resamples > kMaxResamples) {
        throw SettingsError("The number of resamples must lie between 1 and " + std::to_string(kMaxResamples) +
                            "; " + std::to_string(resamples) + " was asked for.");
    }
}

void SortResampledValues(std::span<float> values, RunControl& control) {
    const auto R = static_cast<std::int64_t>(values.size());
    control.sortTotal.store(R, std::memory_order_relaxed);
    SortArray(values, [&control](std::int32_t done, std::int32_t) {
        control.sortDone.store(done, std::memory_order_relaxed);
    });
    control.sortDone.store(R, std::memory_order_relaxed);
    if (control.CancelRequested()) throw RunCancelled();
}

ResultBox MakeBox(const BoxSpec& spec, std::variant<float, double, std::int64_t> value) {
    return {std::string(spec.control), std::string(spec.labelControl), std::string(spec.label), value, spec.format,
            spec.meaning};
}

std::string BoxText(const ResultBox& box) {
    return std::visit(
        [&box](auto value) -> std::string {
            using T = decltype(value);
            if constexpr (std::is_same_v<T, std::int64_t>) {
                return box.format == BoxFormat::ThreeDecimals ? ThreeDecimalText(static_cast<double>(value))
                                                               : GeneralText(value);
            } else {
                // Non-finite values show as inf / -inf / nan in either format.
                if (box.format == BoxFormat::ThreeDecimals && std::isfinite(value)) {
                    return ThreeDecimalText(static_cast<double>(value));
                }
                return GeneralText(value);
            }
        },
        box.value);
}

double BoxValue(const ResultBox& box) {
    return std::visit([](auto value) { return static_cast<double>(value); }, box.value);
}

std::vector<std::string> ResultLines(std::span<const ResultBox> boxes) {
    std::vector<std::string> lines;
    std::string lastLabelControl;
    for (const ResultBox& box : boxes) {
        if (!lines.empty() && box.labelControl == lastLabelControl) {
            lines.back() += " | " + BoxText(box);
        } else {
            lines.push_back(box.label + ": " + BoxText(box));
        }
        lastLabelControl = box.labelControl;
    }
    return lines;
}

void WriteOutputFile(const RunSettings& settings, std::span<const float> resampled) {
    if (settings.outputPath.empty()) return;
    WriteFileWhole(settings.outputPath, ValueLines(resampled));
}

void CheckOutputIsNotData(const std::string& outputPath, const std::string& dataPath) {
    CheckOutputIsNotDataFile(outputPath, dataPath);
}

PercentilePositions NearestPercentilePositions(std::int32_t resamples, float q) noexcept {
    const double wide = static_cast<double>(q);
    const double r = static_cast<double>(resamples);
    return {static_cast<std::int32_t>(std::nearbyint((1.0 - wide) * r)),
            static_cast<std::int32_t>(std::nearbyint(wide * r))};
}

PercentilePositions IntegerPartPercentilePositions(std::int32_t resamples, float q) noexcept {
    const double wide = static_cast<double>(q);
    const double r1 = static_cast<double>(resamples) + 1.0;
    return {static_cast<std::int32_t>(std::floor((1.0 - wide) * r1)), static_cast<std::int32_t>(std::floor(wide * r1))};
}

namespace {

void CheckQuantile(float q) {
    if (!(q > 0.5f && q < 1.0f)) {
        throw SettingsError("The confidence quantile must lie strictly between 0.5 and 1; " + GeneralText(q) +
                            " was asked for.");
    }
}

[[noreturn]] void RefuseTooFewResamples(std::int32_t resamples, float q, std::int32_t smallest) {
    throw SettingsError(ResampleCount(resamples) + (resamples == 1 ? " is" : " are") + " too few for a " +
                        GeneralText(std::round((2.0 * q - 1.0) * 1000.0) / 10.0) + " % interval; it needs at least " +
                        ResampleCount(smallest) + ".");
}

}  // namespace

void CheckIntegerPartPercentileSettings(std::int32_t resamples, float q) {
    CheckResamples(resamples);
    CheckQuantile(q);
    const PercentilePositions p = IntegerPartPercentilePositions(resamples, q);
    if (p.lower < 1 || p.upper > resamples) {
        std::int32_t smallest = resamples;
        while (smallest < kMaxResamples && IntegerPartPercentilePositions(smallest, q).lower < 1) ++smallest;
        RefuseTooFewResamples(resamples, q, smallest);
    }
}

void CheckNearestPercentileSettings(std::int32_t resamples, float q) {
    CheckResamples(resamples);
    CheckQuantile(q);
    const PercentilePositions p = NearestPercentilePositions(resamples, q);
    if (p.lower < 1 || p.upper > resamples) RefuseTooFewResamples(resamples, q, SmallestResamplesFor(q));
}

// The lower position grows with R and the upper one never passes R for q < 1, so the answer is the first R
// whose lower position is 1: just above 0.5 / (1 - q), found from just below it.
std::int32_t SmallestResamplesFor(float q) noexcept {
    const double start = std::floor(0.5 / (1.0 - static_cast<double>(q)));
    auto r = static_cast<std::int32_t>(std::clamp(start, 1.0, static_cast<double>(kMaxResamples)));
    while (r < kMaxResamples && NearestPercentilePositions(r, q).lower < 1) ++r;
    return r;
}

float ZeroSpreadQuotient(double numerator) noexcept {
    if (numerator > 0.0) return std::numeric_limits<float>::infinity();
    if (numerator < 0.0) return -std::numeric_limits<float>::infinity();
    return std::numeric_limits<float>::quiet_NaN();
}

void RefuseData(const DataFile& file, const std::string& problem) {
    throw DataFileError("The data file " + file.QuotedName() + " " + problem);
}

std::string ValueCount(std::int64_t n) { return std::to_string(n) + (n == 1 ? " value" : " values"); }

std::string ResampleCount(std::int64_t n) { return std::to_string(n) + (n == 1 ? " resample" : " resamples"); }

std::string IllegalValueMessage(const std::string& text, float first, std::int64_t count, std::int32_t resamples) {
    return text + GeneralText(first) + "\n" + std::to_string(count) + " of the " + ResampleCount(resamples) +
           (count == 1 ? " gave such a value" : " gave such values; the first is shown") +
           ". The values are kept in the results as they came.";
}

void CheckSumsOfSquaresFit(const DataFile& file, double largestSumOfSquares) {
    if (!(largestSumOfSquares < kLargestSumOfSquares)) {
        RefuseData(file, "holds values too large for single-precision sums of their squares; divide them all by "
                         "a power of ten first.");
    }
}

NonFiniteCount CountNonFinite(std::span<const float> values) noexcept {
    NonFiniteCount count;
    for (const float v : values) {
        if (std::isnan(v)) {
            ++count.undefined;
        } else if (std::isinf(v)) {
            ++(v > 0 ? count.positiveInfinite : count.negativeInfinite);
        }
    }
    return count;
}

ResampledSpread ResampledStandardError(std::span<const float> values) noexcept {
    ResampledSpread spread;
    if (values.size() < 2) return spread;
    const double variance = ArrayVariance(values, SumsFor(static_cast<std::int64_t>(values.size()), kDesignedResamples));
    spread.defined = static_cast<float>(std::sqrt(variance));  // NaN for a negative variance
    spread.standardError = spread.defined;
    if (CountNonFinite(values).Total() > 0) return spread;
    const auto exact = static_cast<float>(std::sqrt(ExactVariance(values)));
    if (exact == 0.0f) {  // all equal: no spread, whatever single sums leave of it
        spread.standardError = 0.0f;
        return spread;
    }
    if (!(std::abs(static_cast<double>(spread.defined) - exact) <= 0.01 * exact)) {
        spread.standardError = exact;
        spread.corrected = true;
    }
    return spread;
}

std::string CorrectedSpreadNote(const std::string& what, const ResampledSpread& spread) {
    return "The " + what + " differ little relative to their size, so single-precision sums could not hold their "
           "spread (they gave " + GeneralText(spread.defined) +
           "): the standard error shown is their spread computed in double precision.";
}

CountedOffHistogram CountOffHistogram(const HistogramRequest& request, float lower, float binWidth,
                                      std::span<const float> values) {
    CountedOffHistogram off;
    if (!request.extreme) return off;
    for (const float v : values) {
        if (!request.extreme->Contains(v) || HistogramBinOf(v, lower, binWidth) >= 0) continue;
        if (v < lower)
            ++off.below;
        else
            ++off.above;
    }
    return off;
}

}  // namespace brevant
