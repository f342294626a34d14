#include "plot/HistogramPainter.h"


#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QBuffer>
#include <QFile>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

namespace brevant::plot {

namespace {

namespace layout = histogram_layout;

// The picture box's default size, and the text size that suits it.
const QSizeF kReferenceSize(480, 400);
constexpr int kReferencePixels = 12;
constexpr int kSmallestPixels = 7;

// Each text line below the axis (labels 4300, caption 4500, note 4700) and each legend line has a little
// under 200 logical units of height.
constexpr float kLogicalLineHeight = 195.0f;
constexpr double kMarkerScale = 1.5;

class Mapper {
public:
    explicit Mapper(const QRectF& target)
        : origin_(target.topLeft()),
          sx_(target.width() / double(kHistogramWidth)),
          sy_(target.height() / double(kHistogramHeight)) {}
    QPointF operator()(float x, float y) const { return origin_ + QPointF(x * sx_, y * sy_); }
    double ScaleX() const { return sx_; }
    double ScaleY() const { return sy_; }

private:
    QPointF origin_;
    double sx_, sy_;
};

QFont FittingFont(const QFont& font, QPaintDevice* device, double scaleY) {
    const double room = kLogicalLineHeight * scaleY;
    const double spacing = QFontMetricsF(font, device).lineSpacing();
    if (spacing <= room || room <= 0) return font;
    QFont smaller = font;
    const double ratio = room / spacing;
    if (font.pixelSize() > 0)
        smaller.setPixelSize(std::max(1, int(std::floor(font.pixelSize() * ratio))));
    else
        smaller.setPointSizeF(std::max(1.0, font.pointSizeF() * ratio));
    return smaller;
}

// A band (a bar) in whole device pixels, the same width for every bar of the picture and centred on its
// line. It is kept at least a pixel narrower than the bar spacing, so neighbouring bars never merge.
QRect BandRect(const HistogramLine& line, const Mapper& map) {
    const double spacing = layout::kBarStep * map.ScaleX();
    const double width = std::max(1.0, std::min(std::round(line.width * map.ScaleX()), std::floor(spacing) - 1));
    const QPointF a = map(line.x1, line.y1), b = map(line.x2, line.y2);
    const int left = int(std::lround((a.x() + b.x()) / 2 - width / 2));
    const int top = int(std::lround(std::min(a.y(), b.y())));
    const int bottom = int(std::lround(std::max(a.y(), b.y())));
    return QRect(QPoint(left, top), QPoint(left + int(width) - 1, bottom));
}

// The "^" under the obtained value, in a heavier and larger face than the other texts so it stands out.
bool IsMarker(const HistogramText& t) { return !t.value && t.text == "^"; }

QFont MarkerFont(const QFont& text) {
    QFont marker = text;
    marker.setBold(true);
    if (text.pixelSize() > 0)
        marker.setPixelSize(std::max(1, int(std::lround(text.pixelSize() * kMarkerScale))));
    else
        marker.setPointSizeF(text.pointSizeF() * kMarkerScale);
    return marker;
}

QString TextOf(const HistogramText& t) {
    return t.value ? HistogramLabel(*t.value) : QString::fromStdString(t.text);
}

// Left edge in device units of a text whose measured width is `width`.
double LeftOf(const HistogramText& t, const Mapper& map, const QRectF& target, double width) {
    switch (t.anchor) {
        case TextAnchor::RightEdgeAt: return map(t.x, 0).x() - width;
        case TextAnchor::CentredInWidth: return target.left() + (target.width() - width) / 2;
        case TextAnchor::LeftEdgeAt: break;
    }
    return map(t.x, 0).x();
}


// The "^" in its heavier face, its left edge and top where the geometry puts them. Where it stands over a
// value label and its foot would touch the label's ink, it rises towards the axis (its ink never reaching
// it) and, if that is not enough in a small picture, is drawn smaller, so the two never overlap.
void DrawMarker(QPainter& painter, const HistogramText& t, const Mapper& map, const QRectF& target,
                const QFont& textFont, const std::vector<QRectF>& labelInk) {
    const QFontMetricsF metrics(textFont, painter.device());
    QFont font = MarkerFont(textFont);
    const QString caret = QStringLiteral("^");
    const double top = map(0, t.top).y();
    const auto place = [&](const QFont& f, double baseline) {
        const QFontMetricsF m(f, painter.device());
        // The larger glyph's wider side bearing would move its ink right of where the "^" points.
        const double left = LeftOf(t, map, target, m.horizontalAdvance(caret)) -
                            (m.leftBearing(QLatin1Char('^')) - metrics.leftBearing(QLatin1Char('^')));
        return std::pair{left, m.tightBoundingRect(caret).translated(left, baseline)};
    };
    double baseline = top + QFontMetricsF(font, painter.device()).ascent();
    auto [left, ink] = place(font, baseline);
    const auto clash = [&](const QRectF& mark) -> std::optional<double> {  // the lowest label top it touches
        std::optional<double> limit;
        for (const QRectF& label : labelInk)
            if (mark.right() >= label.left() - 1 && mark.left() <= label.right() + 1 &&
                mark.bottom() >= label.top() - 1)
                limit = std::min(limit.value_or(label.top()), label.top());
        return limit;
    };
    if (const auto limit = clash(ink)) {
        const double axis = map(0, layout::kBaseY).y() + 2;  // the ink stays clear of the horizontal axis
        const double rise = std::min(ink.bottom() - (*limit - 2), ink.top() - axis);
        baseline -= std::max(0.0, rise);
        std::tie(left, ink) = place(font, baseline);
        if (clash(ink) && ink.height() > 0) {
            const double scale = std::max(0.6, (*limit - 2 - axis) / ink.height());
            if (font.pixelSize() > 0)
                font.setPixelSize(std::max(1, int(std::floor(font.pixelSize() * scale))));
            else
                font.setPointSizeF(std::max(1.0, font.pointSizeF() * scale));
            const QRectF small = QFontMetricsF(font, painter.device()).tightBoundingRect(caret);
            baseline = axis - small.top();
            std::tie(left, ink) = place(font, baseline);
        }
    }
    painter.setFont(font);
    painter.drawText(QPointF(left, baseline), caret);
    painter.setFont(textFont);
}

}  // namespace

QString HistogramLabel(double value, const QLocale& locale) {
    if (std::fabs(value) < 0.0005) value = 0.0;  // no "-0.000"
    return locale.toString(value, 'f', 3);
}

QFont HistogramFontFor(QSize size) {
    QFont font;
    font.setPixelSize(std::max(6, int(std::lround(size.height() * 12.0 / 400.0))));
    return font;
}

QFont ScaledHistogramFont(const QFont& base, QSizeF size) {
    QFont font = base;
    const double scale = std::min(size.width() / kReferenceSize.width(), size.height() / kReferenceSize.height());
    font.setPixelSize(std::max(kSmallestPixels, int(std::lround(kReferencePixels * scale))));
    return font;
}

void PaintHistogram(QPainter& painter, const QRectF& target, const HistogramGeometry& geometry, const QFont& font) {
    if (target.width() <= 0 || target.height() <= 0) return;
    const Mapper map(target);
    painter.save();
    painter.setClipRect(target);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    const QPen red(QColor(255, 0, 0), 0), black(QColor(0, 0, 0), 0);  // cosmetic: one device pixel
    for (const HistogramLine& line : geometry.lines) {
        if (line.width > 0) {
            painter.fillRect(BandRect(line, map), line.ink == HistogramInk::Red ? red.color() : black.color());
            continue;
        }
        painter.setPen(line.ink == HistogramInk::Red ? red : black);
        painter.drawLine(map(line.x1, line.y1), map(line.x2, line.y2));
    }

    const QFont textFont = FittingFont(font, painter.device(), map.ScaleY());
    painter.setFont(textFont);
    painter.setPen(black);
    const QFontMetricsF metrics(textFont, painter.device());
    // The value labels' ink, which the "^" must not touch.
    std::vector<QRectF> labelInk;
    for (const HistogramText& t : geometry.texts) {
        if (!t.value) continue;
        const QString text = TextOf(t);
        const double left = LeftOf(t, map, target, metrics.horizontalAdvance(text));
        labelInk.push_back(metrics.tightBoundingRect(text).translated(left, map(0, t.top).y() + metrics.ascent()));
    }
    for (const HistogramText& t : geometry.texts) {
        const QString text = TextOf(t);
        if (IsMarker(t)) {
            DrawMarker(painter, t, map, target, textFont, labelInk);
            continue;
        }
        const double left = LeftOf(t, map, target, metrics.horizontalAdvance(text));
        painter.drawText(QPointF(left, map(0, t.top).y() + metrics.ascent()), text);
    }

    const HistogramColumn& legend = geometry.legend;
    double top = map(0, legend.top).y();
    for (const std::string& line : legend.lines) {
        const QString text = QString::fromStdString(line);
        const double left = map(legend.centreX, 0).x() - metrics.horizontalAdvance(text) / 2;
        if (!text.isEmpty()) painter.drawText(QPointF(left, top + metrics.ascent()), text);
        top += metrics.lineSpacing();
    }
    painter.restore();
}

namespace {
const QColor kWordsColour(138, 75, 0);
constexpr double kWordsMargin = 0.4;  // of a text line, around the words
}  // namespace

double WordsHeight(const QString& words, double width, const QFont& font, QPaintDevice* device) {
    if (words.isEmpty()) return 0;
    const QFontMetricsF metrics(font, device);
    const double margin = metrics.lineSpacing() * kWordsMargin;
    const QRectF room(0, 0, std::max(1.0, width - 2 * margin), 1e6);
    return metrics.boundingRect(room, Qt::TextWordWrap, words).height() + 2 * margin;
}

void PaintHistogramWithWords(QPainter& painter, const QRectF& target, const HistogramGeometry& geometry,
                             const QString& words, const QFont& font) {
    const double height = std::min(target.height() / 2, WordsHeight(words, target.width(), font, painter.device()));
    const QRectF picture(target.topLeft(), QSizeF(target.width(), target.height() - height));
    PaintHistogram(painter, picture, geometry, font);
    if (height <= 0) return;
    const double margin = QFontMetricsF(font, painter.device()).lineSpacing() * kWordsMargin;
    painter.save();
    painter.setFont(font);
    painter.setPen(kWordsColour);
    painter.drawText(QRectF(picture.left() + margin, picture.bottom() + margin, target.width() - 2 * margin,
                            height - margin),
                     Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignTop, words);
    painter.restore();
}

QString HistogramPng(const HistogramGeometry& geometry, QSize size, const std::optional<QFont>& font, QByteArray& bytes,
                    const QString& words) {
    if (size.width() < 1 || size.height() < 1) return kNoPictureSize;
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) {
        return QStringLiteral("not enough memory for a picture of %1 x %2 pixels.").arg(size.width()).arg(size.height());
    }
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PaintHistogramWithWords(painter, QRectF(QPointF(0, 0), QSizeF(size)), geometry, words,
                                font ? *font : HistogramFontFor(size));
    }
    bytes.clear();
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) {
        return QStringLiteral("the PNG image could not be written.");
    }
    return {};
}

void StartSvg(QSvgGenerator& svg, QBuffer& buffer, QSize size, const QString& title) {
    buffer.open(QIODevice::WriteOnly);
    svg.setOutputDevice(&buffer);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setResolution(QImage(1, 1, QImage::Format_RGB32).logicalDpiY());
    svg.setTitle(title);
}

QString HistogramSvg(const HistogramGeometry& geometry, QSize size, const std::optional<QFont>& font, QByteArray& bytes,
                    const QString& words) {
    if (size.width() < 1 || size.height() < 1) return kNoPictureSize;
    bytes.clear();
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    StartSvg(svg, buffer, size, QStringLiteral("Histogram"));
    {
        QPainter painter;
        if (!painter.begin(&svg)) return QStringLiteral("the SVG image could not be started.");
        const QRectF target(QPointF(0, 0), QSizeF(size));
        painter.fillRect(target, Qt::white);
        PaintHistogramWithWords(painter, target, geometry, words, font ? *font : HistogramFontFor(size));
        painter.end();
    }
    buffer.close();
    return {};
}

}  // namespace brevant::plot
