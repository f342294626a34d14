// The report of one run, to hand in: one self-contained HTML page (no scripts, no links, nothing fetched;
// the plot inline as SVG), written by an analysis window's File > Save Report... and by
// `brevant-cli --report` (through its histogram module). Both fill a ReportContent (plot/ReportFacts.h) and
// draw it here, so the two pages agree; the plot is the detailed plot's own painting (plot/PlotPainter.h).
//
// The page is UTF-8 HTML5 that also reads as well-formed XML: every element closed, only the five XML
// escapes, no control characters. Needs only Qt Gui and Svg, and of our code only what the module holds.
#pragma once

#include <QByteArray>

#include "plot/ReportFacts.h"

namespace brevant::plot {

// The page. Draws the plot, so a QGuiApplication must exist.
QByteArray ReportPage(const ReportContent& content);
// The same report as a PDF document on A4 pages, the plot as a picture.
QByteArray ReportPdf(const ReportContent& content);
// One or the other.
QByteArray ReportDocument(const ReportContent& content, bool pdf);

}  // namespace brevant::plot
