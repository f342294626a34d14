// Painting a histogram geometry with QPainter. One routine draws for the screen, the PNG and the SVG file,
// so the three cannot drift apart. Needs Qt Gui and Svg only (no widgets).
#pragma once

#include <QByteArray>
#include <QFont>
#include <QLocale>
#include <QRectF>
#include <QSize>
#include <QString>
#include <optional>

#include "engine/Histogram.h"

class QBuffer;
class QPaintDevice;
class QPainter;
class QSvgGenerator;

namespace brevant::plot {

// Maps the geometry's logical units onto target and draws it over whatever the painter's device shows.
// Lines with a width (the bars) are filled bands of whole device pixels; the "^" marker is drawn bold and
// half as large again as the other texts, its left edge and top where the geometry puts them.
// Texts are measured in `font` on the painter's device, so labels keep their right edges, centres and
// legend lines at any size; the font is made smaller when the legend's lines would not fit beside the axis.
void PaintHistogram(QPainter& painter, const QRectF& target, const HistogramGeometry& geometry, const QFont& font);

// The picture with words under it (plot/RangeWords.h): the words, wrapped to the target's width, take the
// lines they need at its foot and the picture the rest; without words, PaintHistogram over the whole target.
void PaintHistogramWithWords(QPainter& painter, const QRectF& target, const HistogramGeometry& geometry,
                             const QString& words, const QFont& font);
// The height the words take under a picture `width` wide; 0 without words.
double WordsHeight(const QString& words, double width, const QFont& font, QPaintDevice* device);

// A value label: three decimals, signs and grouping of the locale; -0.000 shows as 0.000.
QString HistogramLabel(double value, const QLocale& locale = QLocale());

// A font for a picture of that size with no font of its own (the batch tool): legible, and small enough
// for the legend to fit.
QFont HistogramFontFor(QSize size);

// The base font (family, weight) at a pixel size that grows and shrinks with the picture: 12 pixels at the
// picture box's default 480 x 400, scaled by the smaller of the two ratios, never below 7 pixels.
QFont ScaledHistogramFont(const QFont& base, QSizeF size);

// Points svg at buffer, opened for writing, for a picture of size titled title, at an image's resolution so that
// a point-sized font measures as it does in a PNG.
void StartSvg(QSvgGenerator& svg, QBuffer& buffer, QSize size, const QString& title);

// The picture on a white background as the bytes of a PNG or SVG file, in bytes; returns an empty string,
// or what went wrong ("the picture has no size."). Words, when given, go under the picture as on the screen.
// Needs only Qt Gui and Svg (the batch tool's histogram module is built with this file).
inline const QString kNoPictureSize = QStringLiteral("the picture has no size.");
QString HistogramPng(const HistogramGeometry& geometry, QSize size, const std::optional<QFont>& font, QByteArray& bytes,
                    const QString& words = {});
QString HistogramSvg(const HistogramGeometry& geometry, QSize size, const std::optional<QFont>& font, QByteArray& bytes,
                    const QString& words = {});

// (HistogramFiles.cpp) Save the picture, drawn in memory and then written as an output file is
// (engine/OutputFile.h): in full beside the target and renamed over it, so a failed save leaves an existing
// file as it was; a pipe or device is written into. Return an empty string on success, otherwise
// what went wrong, ready to show to the user. Words, when given, go under the picture as on the screen.
QString SaveHistogramPng(const QString& path, const HistogramGeometry& geometry, QSize size,
                         const std::optional<QFont>& font = std::nullopt, const QString& words = {});
QString SaveHistogramSvg(const QString& path, const HistogramGeometry& geometry, QSize size,
                         const std::optional<QFont>& font = std::nullopt, const QString& words = {});
// "The histogram could not be saved as <path>: <reason>".
QString HistogramSaveFailure(const QString& path, const QString& reason);

}  // namespace brevant::plot
