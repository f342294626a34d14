// The detailed plot as a file: an SVG document (the report's inline plot), or PNG, SVG or PDF by the
// name's extension ("Plot..." > Export), drawn by PaintPlot (plot/PlotPainter.h).
#pragma once

#include <QByteArray>
#include <QFont>
#include <QSize>
#include <QString>

#include "plot/PlotModel.h"

namespace brevant::plot {

// The plot as an SVG document of that size (UTF-8), titled `title`.
QByteArray PlotSvg(const PlotModel& model, const QString& caption, QSize size, const QFont& font, const QString& title);
// Saves the plot as PNG, SVG or PDF by the path's extension, written as an output file is
// (engine/OutputFile.h): whole or not at all. Returns an empty string, or what went wrong.
QString SavePlot(const QString& path, const PlotModel& model, const QString& caption, QSize size, const QFont& font,
                 const QString& title);

}  // namespace brevant::plot
