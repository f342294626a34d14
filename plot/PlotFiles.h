// The detailed plot as a file: PNG, SVG or PDF by the name's extension ("Plot..." > Export), drawn by
// PaintPlot (plot/PlotPainter.h).
#pragma once

#include <QByteArray>
#include <QFont>
#include <QSize>
#include <QString>

#include "plot/PlotModel.h"
#include "plot/PlotPainter.h"  // PlotSvg

namespace brevant::plot {

// Saves the plot as PNG, SVG or PDF by the path's extension, written as an output file is
// (engine/OutputFile.h): whole or not at all. Returns an empty string, or what went wrong.
QString SavePlot(const QString& path, const PlotModel& model, const QString& caption, QSize size, const QFont& font,
                 const QString& title);

}  // namespace brevant::plot
