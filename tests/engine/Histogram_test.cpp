#include "engine/Histogram.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace brevant::BREVANT_TEST_UNIT {
namespace {

const std::pair<float, float> kTBounds{-5.0f, 5.0f};
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

int CountedTotal(const HistogramGeometry& g) {
    int total = 0;
    for (auto c : g.counts) total += c;
    return total;
}

std::vector<const HistogramLine*> Bars(const HistogramGeometry& g) {
    std::vector<const HistogramLine*> bars;
    for (const auto& line : g.lines)
        if (line.ink == HistogramInk::Black) bars.push_back(&line);
    return bars;
}

const HistogramText* FindText(const HistogramGeometry& g, const std::string& text) {
    for (const auto& t : g.texts)
        if (t.text == text) return &t;
    return nullptr;
}

TEST(Histogram, BoundsMinusFiveToFiveBinEdges) {
    std::vector<float> v{0.0f, 5.04f, 5.06f, -5.04f, -5.06f};
    const auto g = ComputeHistogram(v, "t Value", 0.0f, kTBounds);
    EXPECT_EQ(g.binWidth, 0.1f);
    EXPECT_FALSE(g.degenerateRange);
    EXPECT_EQ(g.counts[50], 1);   // 0: the middle bar
    EXPECT_EQ(g.counts[100], 1);  // 5.04
    EXPECT_EQ(g.counts[0], 1);    // -5.04
    EXPECT_EQ(CountedTotal(g), 3);
    EXPECT_EQ(g.notCounted, 2);   // 5.06 and -5.06
}

TEST(Histogram, ValuesAreShiftedByTheLowerBound) {
    const std::vector<float> original{0.0f, 1.25f, -3.5f, 4.75f, 7.0f};
    std::vector<float> v = original;
    ComputeHistogram(v, "t Value", 0.0f, kTBounds);
    for (std::size_t i = 0; i < v.size(); ++i) EXPECT_EQ(v[i], original[i] + 5.0f) << i;

    std::vector<float> w{3.0f, 8.0f, 4.5f};  // no bounds: the smallest value becomes 0
    ComputeHistogram(w, "x", 0.0f);
    EXPECT_EQ(w, (std::vector<float>{0.0f, 5.0f, 1.5f}));
}

TEST(Histogram, OneToOneHundredOneFillsEveryBinToTheTop) {
    std::vector<float> v;
    for (int i = 1; i <= 101; ++i) v.push_back(float(i));
    const auto g = ComputeHistogram(v, "x", 50.0f);
    EXPECT_EQ(g.lower, 1.0f);
    EXPECT_EQ(g.upper, 101.0f);
    EXPECT_EQ(g.binWidth, 1.0f);
    const auto bars = Bars(g);
    ASSERT_EQ(bars.size(), 101u);
    for (int k = 0; k <= 100; ++k) {
        EXPECT_EQ(g.counts[k], 1) << k;
        EXPECT_EQ(g.heights[k], 350) << k;
        EXPECT_EQ(bars[k]->x1, 600.0f + 48.0f * float(k));
        EXPECT_EQ(bars[k]->x2, bars[k]->x1);
        EXPECT_EQ(bars[k]->y1, 4000.0f);
        EXPECT_EQ(bars[k]->y2, 500.0f);  // the top of the vertical axis
    }
    EXPECT_EQ(HistogramLabelTexts(g), (std::vector<std::string>{"1.000", "51.000", "101.000"}));
}

TEST(Histogram, TallestBarIs350Or349High) {
    std::vector<float> seven(7, 0.0f);
    auto g = ComputeHistogram(seven, "t Value", 0.0f, kTBounds);
    EXPECT_EQ(g.maxBinCount, 7);
    EXPECT_EQ(g.heights[50], 350);
    ASSERT_EQ(Bars(g).size(), 1u);
    EXPECT_EQ(Bars(g)[0]->y2, 500.0f);
    EXPECT_EQ(Bars(g)[0]->x1, 3000.0f);  // the bar where the middle label ends

    std::vector<float> three(3, 0.0f);
    g = ComputeHistogram(three, "t Value", 0.0f, kTBounds);
    // 350 / 3 in single precision is 116.666664; three times that is just below 350.
    EXPECT_EQ(g.heights[50], 349);
    EXPECT_EQ(Bars(g)[0]->y2, 510.0f);

    std::vector<float> mixed{0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 1.0f, 1.0f};  // 7 in bin 50, 3 in 60
    g = ComputeHistogram(mixed, "t Value", 0.0f, kTBounds);
    EXPECT_EQ(g.heights[50], 350);
    EXPECT_EQ(g.heights[60], 150);  // f = 50
}

TEST(Histogram, CountersHoldAHundredThousandValues) {
    std::vector<float> v(100000, 0.0f);
    v.push_back(4000.0f);  // 90,050 bin widths above the lower bound: beyond any 16-bit index
    v.push_back(1e30f);
    v.push_back(-1e30f);
    const auto g = ComputeHistogram(v, "t Value", 0.0f, kTBounds);
    EXPECT_EQ(g.counts[50], 100000);
    EXPECT_EQ(g.maxBinCount, 100000);
    EXPECT_EQ(g.heights[50], 350);
    EXPECT_EQ(g.notCounted, 3);
}

TEST(Histogram, NaNAndInfinitiesAreNotCounted) {
    std::vector<float> withBounds{0.0f, kNaN, kInf, -kInf, 1.0f};
    auto g = ComputeHistogram(withBounds, "t Value", 0.0f, kTBounds);
    EXPECT_EQ(CountedTotal(g), 2);
    EXPECT_EQ(g.notCounted, 3);

    // Without bounds the range comes from the finite values alone.
    std::vector<float> noBounds{kNaN, 1.0f, kInf, 3.0f, -kInf, 2.0f};
    g = ComputeHistogram(noBounds, "x", 2.0f);
    EXPECT_EQ(g.lower, 1.0f);
    EXPECT_EQ(g.upper, 3.0f);
    EXPECT_EQ(g.counts[0], 1);
    EXPECT_EQ(g.counts[50], 1);
    EXPECT_EQ(g.counts[100], 1);
    EXPECT_EQ(g.notCounted, 3);
    EXPECT_TRUE(std::isnan(noBounds[0]));
}

TEST(Histogram, MarkerOnlyWithinTheAxis) {
    struct Case {
        float observed;
        bool drawn;
    };
    const Case cases[] = {{0.0f, true}, {-5.0f, true}, {5.0f, true}, {-5.01f, false}, {5.01f, false},
                          {-100.0f, false}, {kNaN, false}, {kInf, false}, {-kInf, false}};
    for (const Case& c : cases) {
        std::vector<float> v{0.0f, 1.0f};
        const auto g = ComputeHistogram(v, "t Value", c.observed, kTBounds);
        EXPECT_EQ(g.markerDrawn, c.drawn) << c.observed;
        const HistogramText* marker = FindText(g, "^");
        EXPECT_EQ(marker != nullptr, c.drawn) << c.observed;
        // Everything else is drawn regardless.
        EXPECT_EQ(HistogramLabelTexts(g).size(), 3u);
        EXPECT_EQ(Bars(g).size(), 2u);
        if (marker && c.observed == 0.0f) {
            EXPECT_EQ(marker->x, 3000.0f);  // 600 + 48 * 50
            EXPECT_EQ(marker->top, 4200.0f);
            EXPECT_EQ(marker->anchor, TextAnchor::LeftEdgeAt);
        }
    }
}

TEST(Histogram, TextsAndLegendLayout) {
    std::vector<float> v{0.5f};
    const auto g = ComputeHistogram(v, "F value", 5.0f, std::pair{0.0f, 10.0f});
    const float labelRight[] = {600.0f, 3000.0f, 5400.0f};
    const std::string labelText[] = {"0.000", "5.000", "10.000"};
    int label = 0, ticks = 0;
    for (const auto& t : g.texts) {
        if (t.value) {
            ASSERT_LT(label, 3);
            EXPECT_EQ(t.text, labelText[label]);
            EXPECT_EQ(t.anchor, TextAnchor::RightEdgeAt);
            EXPECT_EQ(t.x, labelRight[label]);
            EXPECT_EQ(t.top, 4300.0f);
            ++label;
        } else if (t.text == "'") {
            EXPECT_EQ(t.x, 600.0f + 480.0f * float(ticks));
            EXPECT_EQ(t.top, 4000.0f);
            ++ticks;
        }
    }
    EXPECT_EQ(label, 3);
    EXPECT_EQ(ticks, 11);

    const HistogramText* caption = FindText(g, "F value");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->anchor, TextAnchor::CentredInWidth);
    EXPECT_EQ(caption->top, 4500.0f);
    const HistogramText* note = FindText(g, "^ shows position of obtained statistic");
    ASSERT_NE(note, nullptr);
    EXPECT_EQ(note->anchor, TextAnchor::CentredInWidth);
    EXPECT_EQ(note->top, 4700.0f);

    // Red axes from (570, 4000) to (570, 500) and (570, 4030) to (5400, 4030).
    ASSERT_GE(g.lines.size(), 2u);
    EXPECT_EQ(g.lines[0].ink, HistogramInk::Red);
    EXPECT_EQ(g.lines[1].ink, HistogramInk::Red);
    EXPECT_EQ(std::vector<float>({g.lines[0].x1, g.lines[0].y1, g.lines[0].x2, g.lines[0].y2}),
              std::vector<float>({570, 4000, 570, 500}));
    EXPECT_EQ(std::vector<float>({g.lines[1].x1, g.lines[1].y1, g.lines[1].x2, g.lines[1].y2}),
              std::vector<float>({570, 4030, 5400, 4030}));

    // The axes are hairlines; each bar is a band four fifths of the bar spacing wide, centred on its line.
    EXPECT_EQ(g.lines[0].width, 0.0f);
    EXPECT_EQ(g.lines[1].width, 0.0f);
    ASSERT_EQ(Bars(g).size(), 1u);
    for (const HistogramLine* bar : Bars(g)) {
        EXPECT_EQ(bar->x1, bar->x2);
        EXPECT_FLOAT_EQ(bar->width, 38.4f);
    }

    ASSERT_EQ(g.legend.lines.size(), 18u);
    EXPECT_EQ(g.legend.lines[8], "");
    std::string letters;
    for (const auto& line : g.legend.lines) {
        EXPECT_LE(line.size(), 1u);
        letters += line;
    }
    EXPECT_EQ(letters, "RelativeFrequency");
    EXPECT_EQ(g.legend.centreX, 400.0f);
    EXPECT_EQ(g.legend.top, 475.0f);
}

TEST(Histogram, AllEqualWithoutBoundsGivesOneFullMiddleBar) {
    std::vector<float> v(10, 2.5f);
    const auto g = ComputeHistogram(v, "Bootstrapped Mean", 2.5f);
    EXPECT_TRUE(g.degenerateRange);
    EXPECT_EQ(g.lower, 2.0f);
    EXPECT_EQ(g.upper, 3.0f);
    EXPECT_EQ(g.counts[50], 10);
    EXPECT_EQ(g.heights[50], 350);
    EXPECT_EQ(Bars(g).size(), 1u);
    EXPECT_EQ(HistogramLabelTexts(g), (std::vector<std::string>{"2.000", "2.500", "3.000"}));
    EXPECT_TRUE(g.markerDrawn);
    EXPECT_EQ(g.markerX, 3000.0f);
    EXPECT_EQ(v[0], 0.5f);  // shifted by the lower bound used

    // A value too large for a half-unit step still gives a usable range and one middle bar.
    std::vector<float> big(5, 1e8f);
    const auto h = ComputeHistogram(big, "x", 1e8f);
    EXPECT_TRUE(h.degenerateRange);
    EXPECT_GT(h.binWidth, 0.0f);
    EXPECT_LT(h.lower, 1e8f);
    EXPECT_GT(h.upper, 1e8f);
    EXPECT_EQ(h.counts[50], 5);

    std::vector<float> extreme(3, std::numeric_limits<float>::max());
    const auto e = ComputeHistogram(extreme, "x", 0.0f);
    EXPECT_TRUE(std::isfinite(e.binWidth));
    EXPECT_GT(e.binWidth, 0.0f);
    EXPECT_EQ(CountedTotal(e), 3);
}

TEST(Histogram, EmptyInputDrawsAxesLabelsAndCaptionsOnly) {
    std::vector<float> none;
    auto g = ComputeHistogram(none, "t Value", 99.0f, kTBounds);
    EXPECT_EQ(g.lines.size(), 2u);  // the axes
    EXPECT_EQ(HistogramLabelTexts(g), (std::vector<std::string>{"-5.000", "0.000", "5.000"}));
    EXPECT_NE(FindText(g, "t Value"), nullptr);
    EXPECT_EQ(g.maxBinCount, 1);

    g = ComputeHistogram(none, "Bootstrapped Mean", 99.0f);  // no bounds: no data range either
    EXPECT_EQ(g.lines.size(), 2u);
    EXPECT_EQ(HistogramLabelTexts(g), (std::vector<std::string>{"-0.500", "0.000", "0.500"}));
    EXPECT_FALSE(g.markerDrawn);

    std::vector<float> allNaN(4, kNaN);
    g = ComputeHistogram(allNaN, "x", 0.0f);
    EXPECT_EQ(g.lines.size(), 2u);
    EXPECT_EQ(g.notCounted, 4);
}

TEST(Histogram, HugeRangeKeepsAFiniteWidth) {
    const float m = std::numeric_limits<float>::max() * 0.75f;
    std::vector<float> v{-m, 0.0f, m};
    const auto g = ComputeHistogram(v, "x", 0.0f);
    EXPECT_TRUE(std::isfinite(g.binWidth));
    EXPECT_FALSE(g.degenerateRange);
    EXPECT_EQ(g.counts[0], 1);   // -m shifted to 0
    EXPECT_EQ(g.counts[50], 1);  // 0 shifted to m, half the range
    EXPECT_TRUE(g.markerDrawn);
}

TEST(Histogram, MaxBinCountIsAtLeastOne) {
    std::array<std::int32_t, 101> counters{};
    EXPECT_EQ(MaxBinCount(counters, 100), 1);
    counters[100] = 9;
    counters[3] = 4;
    EXPECT_EQ(MaxBinCount(counters, 100), 9);
    EXPECT_EQ(MaxBinCount(counters, 99), 4);  // only counters 0..last
}

}  // namespace
}  // namespace brevant
