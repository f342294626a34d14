// The words beside the classic histogram when what the run's numbers say lies off its range: the
// histogram keeps the range the documentation gives it (-5 to 5 for t, 0 to 10 for F, the values' own range
// elsewhere), so an obtained value beyond it has no "^" and resamples beyond it no bar. The words say so,
// and where: "The obtained F, 25.6, lies above the histogram's range, 0 to 10; 312 of the 10,000 resamples
// counted for p lie off it, above 10."
#pragma once

#include <QString>
#include <span>

#include "analysis/Procedure.h"
#include "engine/Histogram.h"

namespace brevant::plot {

// Empty when the "^" is drawn (or the obtained value is not a number) and every resample the run counts as
// at least as extreme (its ExtremeRegion) has its bar. off: those counted resamples that have none, of
// `resamples`. Numbers in the user's locale, to four significant digits.
QString HistogramRangeWords(const HistogramGeometry& geometry, const HistogramRequest& request,
                            CountedOffHistogram off, std::int64_t resamples);
// The same from the resampled values as the run gave them, before the histogram shifted them.
inline QString HistogramRangeWords(const HistogramGeometry& geometry, const HistogramRequest& request,
                                   std::span<const float> values) {
    return HistogramRangeWords(geometry, request, CountOffHistogram(request, geometry.lower, geometry.binWidth, values),
                               std::int64_t(values.size()));
}

// A number to four significant digits without trailing zeros, in the user's locale: 25.6, 10, -0.0094.
QString ShortNumber(double value);

}  // namespace brevant::plot
