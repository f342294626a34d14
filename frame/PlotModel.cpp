#include "frame/PlotModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevant::frame {

namespace {

constexpr double kBarShare = 0.8;  // of the bin width, as in the classic picture
constexpr int kValueTicks = 10;
constexpr int kCountTicks = 6;

int DecimalsFor(double step) { return std::max(0, int(std::ceil(-std::log10(step) - 1e-9))); }

PlotAxis AxisOver(double min, double max, int ticks) {
    PlotAxis axis;
    axis.min = min;
    axis.max = max;
    axis.tickStep = NiceStep(max - min, ticks);
    axis.decimals = DecimalsFor(axis.tickStep);
    return axis;
}

// The count axis starts at 0 and ends on a whole tick a little above the tallest bar.
PlotAxis CountAxis(std::int32_t tallest) {
    const double top = std::max(1.0, tallest * 1.05);
    PlotAxis axis;
    axis.tickStep = std::max(1.0, NiceStep(top, kCountTicks));
    axis.max = std::ceil(top / axis.tickStep) * axis.tickStep;
    axis.decimals = 0;
    return axis;
}

// Widens [lo, hi] to show a mark with a bin's room beside it, unless the mark lies so far out that the
// bins would shrink to less than half the axis.
void FitMark(PlotMark& mark, double& lo, double& hi, double span, double room) {
    if (mark.value < lo + room) {
        mark.onAxis = mark.value - room >= lo - span;
        if (mark.onAxis) lo = mark.value - room;
    } else if (mark.value > hi - room) {
        mark.onAxis = mark.value + room <= hi + span;
        if (mark.onAxis) hi = mark.value + room;
    }
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

}  // namespace

double NiceStep(double span, int ticks) {
    if (!(span > 0) || !std::isfinite(span)) return 1.0;
    const double raw = span / std::max(1, ticks);
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    const double m = raw / power;
    const double nice = m <= 1.0 ? 1.0 : m <= 2.0 ? 2.0 : m <= 5.0 ? 5.0 : 10.0;
    return nice * power;
}

std::vector<double> TickValues(const PlotAxis& axis) {
    std::vector<double> ticks;
    if (!(axis.tickStep > 0) || !(axis.max >= axis.min)) return ticks;
    const double first = std::ceil(axis.min / axis.tickStep - 1e-9), last = std::floor(axis.max / axis.tickStep + 1e-9);
    for (double k = first; k <= last && ticks.size() < 1000; ++k) ticks.push_back(k * axis.tickStep);
    return ticks;
}

// The finite values' range, within the bounds where there are any; a range of one unit around a single
// value (wider for a value too large for that step), as the classic picture does.
std::pair<double, double> ValueRange(std::span<const float> values, const HistogramRequest& request) {
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (float v : values)
        if (std::isfinite(v)) {
            lo = std::min(lo, double(v));
            hi = std::max(hi, double(v));
        }
    if (request.bounds) {
        const double bl = request.bounds->first, bu = request.bounds->second;
        lo = std::max(lo, bl);
        hi = std::min(hi, bu);
        if (lo > hi && bl < bu) return {bl, bu};  // no finite value, or none within the bounds
    }
    if (!(lo <= hi)) lo = hi = 0.0;  // no finite value
    if (lo == hi) {
        const double half = std::max(0.5, std::fabs(lo) / 1024.0);
        return {lo - half, lo + half};
    }
    return {lo, hi};
}

PlotModel BuildPlotModel(std::span<const float> values, const HistogramRequest& request) {
    PlotModel model;
    const auto [first, last] = ValueRange(values, request);
    model.lower = first;
    model.binWidth = (last - first) / (kHistogramBins - 1);
    model.region = request.extreme;
    const double w = model.binWidth;
    std::vector<std::int32_t> counts(kHistogramBins, 0);
    for (float v : values) {
        const double k = std::nearbyint((double(v) - first) / w);
        if (k >= 0 && k < kHistogramBins)
            ++counts[std::size_t(k)];
        else
            ++model.notShown;  // outside the range, infinite or not a number
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
        bin.extreme = request.extreme && (centre >= request.extreme->threshold ||
                                          (request.extreme->tails == ExtremeRegion::Tails::Both &&
                                           centre <= -double(request.extreme->threshold)));
        tallest = std::max(tallest, bin.count);
        model.bins.push_back(bin);
    }

    double lo = model.bins.front().from, hi = model.bins.back().to;
    const double span = hi - lo;
    const auto mark = [&](double value, const std::string& name) -> std::optional<PlotMark> {
        if (!std::isfinite(value)) return std::nullopt;
        PlotMark m{value, name};
        FitMark(m, lo, hi, span, w);
        return m;
    };
    model.obtained =
        mark(request.Obtained(), request.observedLabel.empty() ? std::string("Obtained value") : request.observedLabel);
    // Both tails of a two-sided region in view, where the bins leave one out.
    if (request.extreme && request.extreme->tails == ExtremeRegion::Tails::Both && request.extreme->threshold > 0) {
        for (const double edge : {-double(request.extreme->threshold), double(request.extreme->threshold)})
            mark(edge, std::string());
    }
    if (request.limits) {
        for (const auto& [value, name] : {std::pair{request.limits->lower, request.limits->lowerLabel},
                                          std::pair{request.limits->upper, request.limits->upperLabel}})
            if (auto m = mark(value, name)) model.limits.push_back(*m);
    }

    model.x = AxisOver(lo, hi, kValueTicks);
    model.y = CountAxis(tallest);
    if (request.extreme) model.shaded = ShadedParts(*request.extreme, lo, hi);
    return model;
}

int BinAt(const PlotModel& model, double x) {
    if (!(model.binWidth > 0) || !std::isfinite(x)) return -1;
    const double k = std::nearbyint((x - model.lower) / model.binWidth);
    return k >= 0 && k < kHistogramBins ? int(k) : -1;
}

}  // namespace brevant::frame
