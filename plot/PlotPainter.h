// Painting the detailed plot of a run (plot/PlotModel.h) with QPainter: bars on value and count axes with
// readable ticks, the resamples counted as at least as extreme in their own colour over a shaded band, the
// obtained value and the limits as lines named above the plot, and a legend. One routine draws for the
// "Plot..." window, its exports and the report's inline SVG, so they cannot drift apart. Needs Qt Gui only
// (no widgets), so the batch tool draws the same plot.
//
// No text covers another: tick labels are thinned until they fit, and each line's name goes beside the line
// on the lowest row above the plot where it neither covers another name nor crosses another line.
#pragma once

#include <QByteArray>
#include <QFont>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <vector>

#include "plot/PlotModel.h"

class QPaintDevice;
class QPainter;

namespace brevant::plot {

// Where everything goes in a target rectangle, in the painter's device units.
struct PlotLayout {
    QRectF target;
    QRectF area;    // the bars' rectangle: the value axis along its bottom, the count axis along its left
    PlotAxis x, y;  // the axes as drawn (the value axis' step may be coarser than the model's, for room)
    double lineHeight = 0;
    QRectF title;
    struct MarkLabel {
        int mark = 0;           // index into Marks(model)
        QString text;           // "Obtained t = 2.500"
        QRectF box;             // where the text goes
        int row = 0;            // 0: the row just above the plot
        double lineTop = 0;     // the mark's line reaches up to here, beside the text
        bool detached = false;  // no room beside the line: the name is centred over it, the line stops short
    };
    std::vector<MarkLabel> markLabels;
    struct LegendItem {
        QRectF swatch;
        QRectF text;
        QString caption;
        int kind = 0;  // 0 the bars, 1 the counted bars and band
    };
    std::vector<LegendItem> legend;
    double xTitleTop = 0;

    double XAt(double value) const;
    double ValueAt(double deviceX) const;
    double YAt(double count) const;
};

// The marks in drawing order: the obtained value, then the limits.
std::vector<PlotMark> Marks(const PlotModel& model);

PlotLayout LayOutPlot(const PlotModel& model, const QRectF& target, const QFont& font, QPaintDevice* device);
// Draws on a white background filling target.
void PaintPlot(QPainter& painter, const QRectF& target, const PlotModel& model, const QString& caption,
               const QFont& font);

// A value as the plot labels it: three decimals in the user's locale (the classic picture's labels).
QString PlotNumber(double value);
// "Obtained t = 2.500".
QString MarkText(const PlotMark& mark);
// "At least as extreme: ≥ 2.500", "At least as extreme: ≤ -2.500 or ≥ 2.500"; empty without a region.
QString RegionText(const PlotModel& model);
// The plot's title: "t Value: 10,000 resampled values".
QString PlotTitle(const PlotModel& model, const QString& caption);
// Sentences under the plot: its bins, how many resamples the region holds, and what the plot cannot show.
QStringList PlotNotes(const PlotModel& model, const HistogramRequest& request);

// A font for a plot with no font of its own (the batch tool, the report).
QFont PlotFontFor(QSize size);
// The plot as an SVG document of that size (UTF-8), titled `title` (the report's inline plot, Export).
QByteArray PlotSvg(const PlotModel& model, const QString& caption, QSize size, const QFont& font, const QString& title);

}  // namespace brevant::plot
