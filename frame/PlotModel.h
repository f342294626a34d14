// What the detailed plot draws, worked out from a run's resampled values and its window's facts: the bins
// as bars on the value axis, the axes' ranges and tick steps, the shaded region counted as at least as
// extreme, and the marked values. Qt-free, so every figure of the plot can be checked without drawing it.
//
// The plot has 101 bins like the classic picture, each collecting the values within half a bin width of
// its centre, but over the range the finite values actually take (kept within the window's bounds, where
// it has them): a statistic bounded by -5 and 5 whose values all lie near 1 fills the plot, not two bars.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/Procedure.h"
#include "engine/Histogram.h"  // kHistogramBins

namespace brevant::frame {

struct PlotBin {
    int index = 0;         // 0..100
    double from = 0;       // the values this bin collects: within half a bin width of its centre
    double to = 0;
    double barLeft = 0;    // the bar: four fifths of the bin width, centred
    double barRight = 0;
    std::int32_t count = 0;
    bool extreme = false;  // its centre lies in the region counted as at least as extreme
};

// A vertical line at a value, with its name ("Obtained t", "Lower CI"). A value far outside the bins is
// not drawn (the axis would squeeze the bars into a sliver) but named beside the plot.
struct PlotMark {
    double value = 0;
    std::string name;
    bool onAxis = true;
};

struct PlotAxis {
    double min = 0, max = 0;
    double tickStep = 1;  // ticks at the multiples of the step inside [min, max]
    int decimals = 0;     // enough to tell neighbouring ticks apart
};

struct PlotModel {
    double lower = 0, binWidth = 1;  // bin k is centred on lower + k * binWidth
    std::vector<PlotBin> bins;  // all 101, empty ones included
    PlotAxis x, y;              // y counts values
    std::vector<std::pair<double, double>> shaded;  // parts of the x axis counted as at least as extreme
    std::optional<ExtremeRegion> region;
    std::optional<PlotMark> obtained;               // absent when the obtained value is not finite
    std::vector<PlotMark> limits;                   // lower, then upper; only finite ones
    std::int64_t total = 0;                         // resampled values, counted or not
    std::int64_t notShown = 0;                      // outside the bins, infinite or not a number
};

// The ticks of an axis: every multiple of its step within [min, max], each formed as k * step (no running
// sum, so 0 is exactly 0).
std::vector<double> TickValues(const PlotAxis& axis);

// A tick step of 1, 2 or 5 times a power of ten giving about `ticks` intervals over `span` (> 0).
double NiceStep(double span, int ticks);

PlotModel BuildPlotModel(std::span<const float> values, const HistogramRequest& request);

// The bin under a value of the x axis, or -1 outside the bins.
int BinAt(const PlotModel& model, double x);

}  // namespace brevant::frame
