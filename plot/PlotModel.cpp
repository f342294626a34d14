#include "plot/PlotModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevant::plot {

namespace {

constexpr double kBarShare = 0.8;  // of the bin width, as in the classic picture
constexpr int kValueTicks = 10;
constexpr int kCountTicks = 6;
constexpr double kMarkRoom = 0.03;  // of the axis, beside a mark at the axis' end

int DecimalsFor(double step) { return std::max(0, int(std::ceil(-std::log10(step) - 1e-9))); }

// The count axis starts at 0 and ends on a whole tick a little above the tallest bar.
PlotAxis CountAxis(std::int32_t tallest) {
    const double top = std::max(1.0, tallest * 1.05);
    PlotAxis axis;
    axis.tickStep = std::max(1.0, NiceStep(top, kCountTicks));
    axis.max = std::ceil(top / axis.tickStep) * axis.tickStep;
    axis.decimals = 0;
    return axis;
}

std::vector<std::pair<double, double>> ShadedParts(const ExtremeRegion& region, double lo, double hi) {
    const double t = region.threshold;
    std::vector<std::pair<double, double>> parts;
    if (std::isnan(t)) return parts;
    if (region.tails == ExtremeRegion::Tails::Both && t <= 0) return {{lo, hi}};  // every value counts
    if (region.tails == ExtremeRegion::Tails::Both && -t > lo) parts.emplace_back(lo, std::min(-t, hi));
    if (t < hi) parts.emplace_back(std::max(t, lo), hi);
    return parts;
}

// The finite values' range; without any, the bounds the window gives, else a unit range around 0. A range
// of one unit around a single value (wider for a value too large for that step), as the classic picture does.
std::pair<double, double> ValueRange(std::span<const float> values, const HistogramRequest& request) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (float v : values)
        if (std::isfinite(v)) {
            lo = std::min(lo, double(v));
            hi = std::max(hi, double(v));
        }
    if (!(lo <= hi)) {  // no finite value
        if (request.bounds && request.bounds->first < request.bounds->second)
            return {request.bounds->first, request.bounds->second};
        lo = hi = 0.0;
    }
    if (lo == hi) {
        const double half = std::max(0.5, std::fabs(lo) / 1024.0);
        return {lo - half, lo + half};
    }
    return {lo, hi};
}

// The values the axis must hold besides the bins: the obtained value, the limits, the region's edges.
std::vector<double> Extents(const PlotModel& model) {
    std::vector<double> extents;
    if (model.obtained) extents.push_back(model.obtained->value);
    for (const PlotMark& limit : model.limits) extents.push_back(limit.value);
    if (model.region && std::isfinite(model.region->threshold)) {
        const double t = model.region->threshold;
        extents.push_back(t);
        if (model.region->tails == ExtremeRegion::Tails::Both && t > 0) extents.push_back(-t);
    }
    return extents;
}

}  // namespace

std::string ObtainedName(const HistogramRequest& request) {
    const std::string& label = request.observedLabel;
    if (label.empty()) return "Obtained value";
    return label.rfind("Obtained", 0) == 0 ? label : "Obtained " + label;
}

double NiceStep(double span, int ticks) {
    if (!(span > 0) || !std::isfinite(span)) return 1.0;
    const double raw = span / std::max(1, ticks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double m = raw / power;
    const double nice = m <= 1.0 ? 1.0 : m <= 2.0 ? 2.0 : m <= 5.0 ? 5.0 : 10.0;
    return nice * power;
}

PlotAxis ValueAxis(double min, double max, int ticks) {
    PlotAxis axis;
    axis.min = min;
    axis.max = max;
    axis.tickStep = NiceStep(max - min, ticks);
    axis.decimals = DecimalsFor(axis.tickStep);
    return axis;
}

std::vector<double> TickValues(const PlotAxis& axis) {
    std::vector<double> ticks;
    if (!(axis.tickStep > 0) || !(axis.max >= axis.min)) return ticks;
    const double first = std::ceil(axis.min / axis.tickStep - 1e-9), last = std::floor(axis.max / axis.tickStep + 1e-9);
    for (double k = first; k <= last && ticks.size() < 1000; ++k) ticks.push_back(k * axis.tickStep);
    return ticks;
}

PlotModel BuildPlotModel(std::span<const float> values, const HistogramRequest& request) {
    PlotModel model;
    const auto [first, last] = ValueRange(values, request);
    model.lower = first;
    model.binWidth = (last - first) / (kHistogramBins - 1);
    model.region = request.extreme;
    const double w = model.binWidth;
    std::vector<std::int32_t> counts(kHistogramBins, 0), counted(kHistogramBins, 0);
    for (float v : values) {
        const bool inRegion = model.region && model.region->Contains(v);
        model.counted += inRegion;
        const double k = std::isfinite(v) ? std::clamp(std::nearbyint((double(v) - first) / w), 0.0, 100.0) : -1.0;
        if (k < 0) {
            ++model.notShown;
            model.countedNotShown += inRegion;
            continue;
        }
        ++counts[std::size_t(k)];
        counted[std::size_t(k)] += inRegion;
    }
    model.total = std::int64_t(values.size());
    std::int32_t tallest = 0;
    for (int k = 0; k < kHistogramBins; ++k) {
        PlotBin bin;
        bin.index = k;
        const double centre = model.lower + k * w;
        bin.from = centre - w / 2;
        bin.to = centre + w / 2;
        bin.barLeft = centre - w * kBarShare / 2;
        bin.barRight = centre + w * kBarShare / 2;
        bin.count = counts[std::size_t(k)];
        bin.counted = counted[std::size_t(k)];
        tallest = std::max(tallest, bin.count);
        model.bins.push_back(bin);
    }

    const double obtained = request.Obtained();
    if (std::isfinite(obtained)) model.obtained = PlotMark{obtained, ObtainedName(request), PlotMark::Kind::Obtained};
    if (request.limits) {
        for (const auto& [value, name] : {std::pair{request.limits->lower, request.limits->lowerLabel},
                                          std::pair{request.limits->upper, request.limits->upperLabel}})
            if (std::isfinite(value)) model.limits.push_back({value, name, PlotMark::Kind::Limit});
    }

    // The axis holds the bins and every mark, with a little room beside a mark at or beyond the bins' ends.
    const double binsFrom = model.bins.front().from, binsTo = model.bins.back().to;
    double lo = binsFrom, hi = binsTo;
    for (const double v : Extents(model)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    const double room = kMarkRoom * (hi - lo);
    for (const double v : Extents(model)) {
        if (v < binsFrom + w) lo = std::min(lo, v - room);
        if (v > binsTo - w) hi = std::max(hi, v + room);
    }

    model.x = ValueAxis(lo, hi, kValueTicks);
    model.y = CountAxis(tallest);
    if (model.region) model.shaded = ShadedParts(*model.region, lo, hi);
    return model;
}

int BinAt(const PlotModel& model, double x) {
    if (!(model.binWidth > 0) || !std::isfinite(x)) return -1;
    const double k = std::nearbyint((x - model.lower) / model.binWidth);
    return k >= 0 && k < kHistogramBins ? int(k) : -1;
}

}  // namespace brevant::plot
