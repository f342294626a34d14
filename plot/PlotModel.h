// What the detailed plot draws, worked out from a run's resampled values and its window's facts: the bins
// as bars on the value axis, the axes' ranges and tick steps, the resamples counted as at least as extreme,
// and the marked values. Qt-free, so every figure of the plot can be checked without drawing it.
//
// The plot has 101 bins like the classic picture, each collecting the values within half a bin width of
// its centre, but over the range the finite values actually take, whatever bounds the classic picture
// keeps: every finite resampled value lies in a bin. The value axis reaches further where it must, so the
// obtained value, the limits and the edges of the counted region are always in view.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/Procedure.h"
#include "engine/Histogram.h"  // kHistogramBins

namespace brevant::plot {

struct PlotBin {
    int index = 0;    // 0..100
    double from = 0;  // the values this bin collects: within half a bin width of its centre
    double to = 0;
    double barLeft = 0;  // the bar: four fifths of the bin width, centred
    double barRight = 0;
    std::int32_t count = 0;
    std::int32_t counted = 0;  // of them, those the run counted as at least as extreme (its region)
};

// A vertical line at a value, with its name ("Obtained t", "Lower CI").
struct PlotMark {
    enum class Kind { Obtained, Limit };
    double value = 0;
    std::string name;
    Kind kind = Kind::Obtained;
};

struct PlotAxis {
    double min = 0, max = 0;
    double tickStep = 1;  // ticks at the multiples of the step inside [min, max]
    int decimals = 0;     // enough to tell neighbouring ticks apart
};

struct PlotModel {
    double lower = 0, binWidth = 1;                 // bin k is centred on lower + k * binWidth
    std::vector<PlotBin> bins;                      // all 101, empty ones included
    PlotAxis x, y;                                  // y counts values
    std::vector<std::pair<double, double>> shaded;  // parts of the x axis counted as at least as extreme
    std::optional<ExtremeRegion> region;
    std::optional<PlotMark> obtained;  // absent when the obtained value is not finite
    std::vector<PlotMark> limits;      // lower, then upper; only finite ones
    std::int64_t total = 0;            // resampled values
    std::int64_t notShown = 0;         // infinite or not a number: in no bin
    std::int64_t counted = 0;          // resampled values in the region, infinite ones included
    std::int64_t countedNotShown = 0;  // of them, the infinite ones
};

// The ticks of an axis: every multiple of its step within [min, max], each formed as k * step (no running
// sum, so 0 is exactly 0).
std::vector<double> TickValues(const PlotAxis& axis);

// A tick step of 1, 2 or 5 times a power of ten giving about `ticks` intervals over `span` (> 0).
double NiceStep(double span, int ticks);
// The axis over [min, max] with about `ticks` intervals.
PlotAxis ValueAxis(double min, double max, int ticks);

// The obtained value's name on the plot: the window's label ("Obtained t"), "Obtained " put before a label
// that does not say it ("Obtained Median Difference"), "Obtained value" without one.
std::string ObtainedName(const HistogramRequest& request);

PlotModel BuildPlotModel(std::span<const float> values, const HistogramRequest& request);

// The bin under a value of the x axis, or -1 outside the bins.
int BinAt(const PlotModel& model, double x);

}  // namespace brevant::plot
