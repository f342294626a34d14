#include "engine/Histogram.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <string_view>
#include <tuple>

#include "engine/Module1.h"
#include "engine/NumberText.h"

namespace brevant {

namespace layout = histogram_layout;

namespace {

struct Range {
    float lower = 0, upper = 0, width = 0;
    bool degenerate = false;
};

// Smallest and largest value by strict comparisons from the first element. NaN and infinities would
// make the range useless, so only finite values take part when there are any others.
std::pair<float, float> DataBounds(std::span<const float> values) {
    const bool allFinite = std::all_of(values.begin(), values.end(), [](float v) { return std::isfinite(v); });
    if (allFinite) return {ArrayMin(values), ArrayMax(values)};
    bool seen = false;
    float lo = 0, hi = 0;
    for (float v : values) {
        if (!std::isfinite(v)) continue;
        if (!seen) {
            lo = hi = v;
            seen = true;
        }
        if (v < lo) lo = v;
        if (v > hi) hi = v;
    }
    return {lo, hi};
}

// A unit range around the common value (wider when half a unit is lost in the value's precision), kept
// within the float range.
Range DegenerateRange(float centre) {
    if (!std::isfinite(centre)) centre = 0;
    const double half = std::max(0.5, std::fabs(static_cast<double>(centre)) / 1024.0);
    const auto clamp = [](double v) { return static_cast<float>(std::clamp(v, -double(FLT_MAX), double(FLT_MAX))); };
    Range r;
    r.lower = clamp(centre - half);
    r.upper = clamp(centre + half);
    r.width = (r.upper - r.lower) / 100.0f;
    r.degenerate = true;
    return r;
}

Range ChooseRange(std::span<const float> values, std::optional<std::pair<float, float>> bounds) {
    Range r;
    if (bounds) {
        r.lower = bounds->first;
        r.upper = bounds->second;
        r.width = (std::fabs(r.lower) + std::fabs(r.upper)) / 100.0f;
    } else {
        std::tie(r.lower, r.upper) = DataBounds(values);
        const float difference = r.upper - r.lower;
        r.width = std::isfinite(difference)
                      ? difference / 100.0f
                      : static_cast<float>((double(r.upper) - double(r.lower)) / 100.0);  // beyond FLT_MAX
    }
    if (!(r.width > 0.0f) || !std::isfinite(r.width)) return DegenerateRange(r.lower);
    return r;
}

// Bin of a shifted value, or -1 when it lies outside bins 0..100 or is not a number. Compared as a float
// first, so a value far outside the range never reaches an integer conversion.
int BinOf(float shifted, float width) noexcept {
    const float b = shifted / width;
    if (!std::isfinite(b)) return -1;
    const float k = std::nearbyint(b);  // halves to even
    if (!(k >= 0.0f && k <= 100.0f)) return -1;
    return static_cast<int>(k);
}

void AddTexts(HistogramGeometry& g, const std::string& caption) {
    const float mid = std::isfinite((g.lower + g.upper) / 2.0f)
                          ? (g.lower + g.upper) / 2.0f
                          : static_cast<float>((double(g.lower) + double(g.upper)) / 2.0);
    const std::pair<float, float> labels[] = {
        {g.lower, layout::kFirstBarX}, {mid, layout::kMiddleLabelRight}, {g.upper, layout::kRightLabelRight}};
    for (const auto& [value, right] : labels)
        g.texts.push_back({ThreeDecimalText(value), double(value), TextAnchor::RightEdgeAt, right, layout::kLabelTop});
    for (int i = 0; i <= 10; ++i)
        g.texts.push_back({"'", {}, TextAnchor::LeftEdgeAt, layout::kFirstBarX + layout::kTickStep * float(i),
                           layout::kTickTop});
    g.texts.push_back({caption, {}, TextAnchor::CentredInWidth, 0, layout::kCaptionTop});
    g.texts.push_back({kHistogramMarkerNote, {}, TextAnchor::CentredInWidth, 0, layout::kNoteTop});
    if (g.markerDrawn) g.texts.push_back({"^", {}, TextAnchor::LeftEdgeAt, g.markerX, layout::kMarkerTop});
}

}  // namespace

std::int32_t MaxBinCount(std::span<const std::int32_t> counters, int last) noexcept {
    std::int32_t m = 1;
    for (int k = 0; k <= last && k < static_cast<int>(counters.size()); ++k)
        if (counters[static_cast<std::size_t>(k)] > m) m = counters[static_cast<std::size_t>(k)];
    return m;
}

HistogramGeometry ComputeHistogram(std::span<float> values, const std::string& caption, float observed,
                                   std::optional<std::pair<float, float>> bounds) {
    HistogramGeometry g;
    const Range range = ChooseRange(values, bounds);
    g.lower = range.lower;
    g.upper = range.upper;
    g.binWidth = range.width;
    g.degenerateRange = range.degenerate;

    for (float& v : values) v = v - g.lower;
    for (float v : values) {
        const int k = BinOf(v, g.binWidth);
        if (k < 0)
            ++g.notCounted;
        else
            ++g.counts[static_cast<std::size_t>(k)];
    }

    g.markerPosition = (observed - g.lower) / g.binWidth;
    g.markerX = layout::kFirstBarX + layout::kBarStep * g.markerPosition;
    g.markerDrawn = g.markerX >= layout::kFirstBarX && g.markerX <= layout::kBaseRight;  // false for NaN

    g.maxBinCount = MaxBinCount(g.counts, kHistogramBins - 1);
    const float f = 350.0f / static_cast<float>(g.maxBinCount);
    // The product is taken exactly (in double): 3 * float(350/3) lies just below 350 and must give 349.
    for (std::size_t k = 0; k < g.counts.size(); ++k)
        g.heights[k] = static_cast<std::int32_t>(std::floor(double(g.counts[k]) * double(f)));

    g.lines.push_back({layout::kAxisX, layout::kAxisBottom, layout::kAxisX, layout::kAxisTop, HistogramInk::Red});
    g.lines.push_back({layout::kAxisX, layout::kBaseY, layout::kBaseRight, layout::kBaseY, HistogramInk::Red});
    for (std::size_t k = 0; k < g.heights.size(); ++k) {
        if (g.heights[k] == 0) continue;  // an empty bin draws nothing
        const float x = layout::kFirstBarX + layout::kBarStep * float(k);
        g.lines.push_back({x, layout::kBarBottom, x, layout::kBarBottom - layout::kUnitsPerHeight * float(g.heights[k]),
                           HistogramInk::Black, layout::kBarWidth});
    }

    AddTexts(g, caption);
    g.legend.centreX = layout::kLegendCentreX;
    g.legend.top = layout::kLegendTop;
    for (char c : std::string_view(kHistogramLegend))
        g.legend.lines.push_back(c == ' ' ? std::string() : std::string(1, c));
    return g;
}

int HistogramBinOf(float value, float lower, float width) noexcept { return BinOf(value - lower, width); }

std::vector<std::string> HistogramLabelTexts(const HistogramGeometry& geometry) {
    std::vector<std::string> texts;
    for (const HistogramText& t : geometry.texts)
        if (t.value) texts.push_back(t.text);
    return texts;
}

}  // namespace brevant
