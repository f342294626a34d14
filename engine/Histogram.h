// The histogram of a resampled distribution as a display description: every line and text of the picture
// in fixed logical units (6000 wide, 5000 high, origin top-left, y downwards), so that a painter only has to
// measure the texts in its own font and draw. Qt-free.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace brevant {

inline constexpr float kHistogramWidth = 6000.0f;   // logical units
inline constexpr float kHistogramHeight = 5000.0f;
inline constexpr int kHistogramBins = 101;          // bins 0..100

inline constexpr const char* kHistogramMarkerNote = "^ shows position of obtained statistic";
inline constexpr const char* kHistogramLegend = "Relative Frequency";

enum class HistogramInk { Red, Black };  // red (255, 0, 0) for the axes, black for the rest

struct HistogramLine {
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    HistogramInk ink = HistogramInk::Black;
    float width = 0;  // 0: a hairline; otherwise a band this many logical units wide, centred on the line
};

// How a text is placed horizontally; its top is always at `top`.
enum class TextAnchor {
    RightEdgeAt,     // the text ends at x
    CentredInWidth,  // centred in the picture's width (x is ignored)
    LeftEdgeAt,      // the text starts at x
};

struct HistogramText {
    std::string text;             // UTF-8; for a value label the C-locale three-decimal text
    std::optional<double> value;  // set for value labels: the painter formats it in the user's locale
    TextAnchor anchor = TextAnchor::LeftEdgeAt;
    float x = 0;
    float top = 0;
};

// A column of text lines, each centred on centreX, the first with its top at `top`, one text line apart.
struct HistogramColumn {
    std::vector<std::string> lines;
    float centreX = 0;
    float top = 0;
};

struct HistogramGeometry {
    // The figures behind the picture.
    float lower = 0, upper = 0;  // the bounds used
    float binWidth = 0;
    bool degenerateRange = false;  // no usable width: a range of one unit around the common value is used
    std::array<std::int32_t, kHistogramBins> counts{};
    std::int32_t maxBinCount = 1;  // largest count, at least 1
    std::array<std::int32_t, kHistogramBins> heights{};  // in tenths of the axis: 350 reaches its top
    std::int64_t notCounted = 0;   // values outside the range, NaN or infinite
    float markerPosition = 0;      // observed value in bin widths from the lower bound
    float markerX = 0;
    bool markerDrawn = false;

    // The picture: lines (axes first, then one bar per non-empty bin), texts, and the vertical legend.
    std::vector<HistogramLine> lines;
    std::vector<HistogramText> texts;
    HistogramColumn legend;
};

// Logical layout of the picture.
namespace histogram_layout {
inline constexpr float kAxisX = 570, kAxisTop = 500, kAxisBottom = 4000;
inline constexpr float kBaseY = 4030, kBaseRight = 5400;
inline constexpr float kFirstBarX = 600, kBarStep = 48, kBarBottom = 4000, kUnitsPerHeight = 10;
inline constexpr float kBarWidth = kBarStep * 0.8f;  // bars with a narrow gap between neighbours
inline constexpr float kTickStep = 480, kTickTop = 4000;
inline constexpr float kLabelTop = 4300, kMiddleLabelRight = 3000, kRightLabelRight = 5400;
inline constexpr float kMarkerTop = 4200, kCaptionTop = 4500, kNoteTop = 4700;
inline constexpr float kLegendCentreX = 400, kLegendTop = 475;
}  // namespace histogram_layout

// Largest of counters 0..last, but at least 1.
std::int32_t MaxBinCount(std::span<const std::int32_t> counters, int last) noexcept;

// Computes the histogram of `values` with the observed value marked.
//
// values are shifted in place by -lower (the lower bound used): callers write them out before this call.
// Without bounds the range runs from the smallest to the largest finite value. Bin k collects the values
// within half a bin width of lower + k * width; values outside the 101 bins, NaN and infinities are not
// counted. When the width comes out zero (all values equal, or no finite value, without bounds) the range
// becomes the common value -0.5 .. +0.5 (wider for values too large for that step) with the bars in the
// middle bin, rather than dividing by zero. A NaN or infinite observed value gets no marker.
HistogramGeometry ComputeHistogram(std::span<float> values, const std::string& caption, float observed,
                                   std::optional<std::pair<float, float>> bounds = std::nullopt);

// The bin (0..100) a value falls in on a histogram from `lower` with bins `width` wide, as the counting
// does it: the shifted value divided by the width in single precision, to the nearest integer with halves
// to even; -1 outside the bins, for infinities and NaN.
int HistogramBinOf(float value, float lower, float width) noexcept;

// The three value labels' texts in the C locale ("-5.000", "0.000", "5.000"), as the batch tool shows them.
std::vector<std::string> HistogramLabelTexts(const HistogramGeometry& geometry);

}  // namespace brevant
