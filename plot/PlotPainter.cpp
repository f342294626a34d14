#include "plot/PlotPainter.h"

#include <QBuffer>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <QLocale>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

#include "plot/HistogramPainter.h"

namespace brevant::plot {

namespace {

const QColor kBarColour(70, 110, 170);
const QColor kCountedColour(214, 96, 40);
const QColor kRegionColour(255, 170, 60, 60);
const QColor kObtainedColour(200, 0, 0);
const QColor kLimitColour(0, 120, 60);
const QColor kAxisColour(70, 70, 70);
const QColor kGridColour(228, 228, 228);
constexpr double kLeastBar = 2;  // device units

QFont Bold(QFont font) {
    font.setBold(true);
    return font;
}

QString TickText(double value, int decimals) { return QLocale().toString(value, 'f', decimals); }

double WidestTick(const PlotAxis& axis, const QFontMetricsF& metrics) {
    double widest = 0;
    for (const double v : TickValues(axis))
        widest = std::max(widest, metrics.horizontalAdvance(TickText(v, axis.decimals)));
    return widest;
}

// The value axis with the most ticks whose labels stand apart on `width` device units.
PlotAxis FittingValueAxis(const PlotAxis& model, double width, const QFontMetricsF& metrics) {
    for (int ticks = 10; ticks > 1; --ticks) {
        const PlotAxis axis = ValueAxis(model.min, model.max, ticks);
        const double spacing = axis.tickStep / (axis.max - axis.min) * width;
        if (spacing >= WidestTick(axis, metrics) + 2 * metrics.averageCharWidth()) return axis;
    }
    return ValueAxis(model.min, model.max, 1);
}

QColor MarkColour(const PlotMark& mark) {
    return mark.kind == PlotMark::Kind::Obtained ? kObtainedColour : kLimitColour;
}

QPen MarkPen(const PlotMark& mark) {
    return QPen(MarkColour(mark), 2, mark.kind == PlotMark::Kind::Obtained ? Qt::SolidLine : Qt::DashLine);
}

QString CountedCaption(const PlotModel& model) {
    return QStringLiteral("Counted for p: %1 of %2 (%3)")
        .arg(QLocale().toString(model.counted), QLocale().toString(model.total),
             RegionText(model).section(QStringLiteral(": "), 1));
}

bool Covers(double left, double right, double x) { return x > left - 1 && x < right + 1; }

struct PlacedLabel {
    int mark = 0, row = 0;
    double left = 0, right = 0, x = 0;
};

// A name at (row, left..right) for the line at x fits beside those placed when it covers no other name on
// its row, covers no line that rises to its row or above, and its own line, rising to it, crosses no name on
// its row or below.
bool Fits(const std::vector<PlacedLabel>& placed, int row, double left, double right, double x, double gap) {
    for (const PlacedLabel& p : placed) {
        if (p.row == row && right > p.left - gap && left < p.right + gap) return false;
        if (p.row >= row && Covers(left, right, p.x)) return false;
        if (p.row <= row && Covers(p.left, p.right, x)) return false;
    }
    return true;
}

// Each mark's name beside its line (right of it, else left), on the lowest row above the plot where it fits
// (Fits), preferring places that cover no line of a mark still to come. The marks are placed one by one in
// every order, and the order needing the fewest rows wins, so a name that must reach across a neighbour's
// line goes above that neighbour's name. Where no order fits them
// all, each name gets a row of its own.
void PlaceMarkLabels(PlotLayout& layout, const std::vector<PlotMark>& marks, const QFontMetricsF& metrics) {
    const int n = int(marks.size());
    const double gap = layout.lineHeight / 4;
    const double minLeft = layout.target.left() + gap, maxRight = layout.target.right() - gap;
    std::vector<double> xs, widths;
    // Each name's places: beside its line, right then left, within the picture; then, pushed inwards where a
    // side does not fit, over its own line (which then stops under it).
    struct Place {
        double left;
        bool pushed;
    };
    std::vector<std::vector<Place>> places(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double x = layout.XAt(marks[std::size_t(i)].value),
                     width = metrics.horizontalAdvance(MarkText(marks[std::size_t(i)]));
        xs.push_back(x);
        widths.push_back(width);
        for (const double left : {x + gap, x - gap - width}) {
            const double inside = std::clamp(left, minLeft, std::max(minLeft, maxRight - width));
            places[std::size_t(i)].push_back({inside, inside != left});
        }
        std::stable_sort(places[std::size_t(i)].begin(), places[std::size_t(i)].end(),
                         [](const Place& a, const Place& b) { return !a.pushed && b.pushed; });
    }
    std::vector<int> order(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) order[std::size_t(i)] = i;
    std::vector<PlacedLabel> best;
    std::pair<int, int> bestCost{n + 1, n + 1};  // names pushed over their own line, rows
    do {
        std::vector<PlacedLabel> placed;
        std::pair<int, int> cost{0, 0};
        for (const int i : order) {
            // Rather not across the line of a mark still to come, whose row is not known yet.
            const auto coversLater = [&](double left, double right) {
                for (std::size_t later = placed.size() + 1; later < order.size(); ++later)
                    if (Covers(left, right, xs[std::size_t(order[later])])) return true;
                return false;
            };
            const auto fit = [&]() -> std::optional<std::pair<PlacedLabel, bool>> {
                for (const bool strict : {true, false})
                    for (int row = 0; row < n; ++row)
                        for (const Place& place : places[std::size_t(i)]) {
                            const double right = place.left + widths[std::size_t(i)];
                            if ((!strict || !coversLater(place.left, right)) &&
                                Fits(placed, row, place.left, right, xs[std::size_t(i)], gap))
                                return std::pair{PlacedLabel{i, row, place.left, right, xs[std::size_t(i)]},
                                                 place.pushed};
                        }
                return std::nullopt;
            }();
            if (!fit) break;
            placed.push_back(fit->first);
            cost.first += fit->second;
            cost.second = std::max(cost.second, fit->first.row + 1);
        }
        if (int(placed.size()) == n && cost < bestCost) {
            best = placed;
            bestCost = cost;
        }
    } while (bestCost > std::pair{0, 1} && std::next_permutation(order.begin(), order.end()));
    // No order fits them all: a row each, centred over the line, and the lines stop at the plot's top.
    const bool detached = int(best.size()) != n;
    if (detached) {
        best.clear();
        for (int i = 0; i < n; ++i) {
            const double w = widths[std::size_t(i)];
            const double left = std::clamp(xs[std::size_t(i)] - w / 2, minLeft, std::max(minLeft, maxRight - w));
            best.push_back({i, i, left, left + w, xs[std::size_t(i)]});
        }
    }
    std::sort(best.begin(), best.end(), [](const PlacedLabel& a, const PlacedLabel& b) { return a.mark < b.mark; });
    for (const PlacedLabel& p : best)
        layout.markLabels.push_back({p.mark, MarkText(marks[std::size_t(p.mark)]),
                                     QRectF(p.left, 0, p.right - p.left, layout.lineHeight), p.row, 0.0, detached});
}

}  // namespace

double PlotLayout::XAt(double value) const { return area.left() + (value - x.min) / (x.max - x.min) * area.width(); }
double PlotLayout::ValueAt(double deviceX) const {
    return x.min + (deviceX - area.left()) / area.width() * (x.max - x.min);
}
double PlotLayout::YAt(double count) const { return area.bottom() - count / y.max * area.height(); }

std::vector<PlotMark> Marks(const PlotModel& model) {
    std::vector<PlotMark> marks;
    if (model.obtained) marks.push_back(*model.obtained);
    marks.insert(marks.end(), model.limits.begin(), model.limits.end());
    return marks;
}

PlotLayout LayOutPlot(const PlotModel& model, const QRectF& target, const QFont& font, QPaintDevice* device) {
    PlotLayout layout;
    layout.target = target;
    const QFontMetricsF metrics(font, device), bold(Bold(font), device);
    const double lh = metrics.lineSpacing(), pad = lh * 0.6;
    layout.lineHeight = bold.lineSpacing();
    layout.title = QRectF(target.left() + pad, target.top() + pad, target.width() - 2 * pad, bold.lineSpacing());

    // Across: the count axis' title and labels on the left; room for half a value label on the right.
    layout.y = model.y;
    const double left = target.left() + pad + lh + pad / 2 + WidestTick(model.y, metrics) + pad / 2;
    const double right = target.right() - pad - WidestTick(model.x, metrics) / 2;
    layout.area.setLeft(left);
    layout.area.setRight(std::max(left + 1, right));
    layout.x = FittingValueAxis(model.x, layout.area.width(), metrics);

    // Down from the bottom: the legend, the value axis' title, its labels.
    std::vector<std::pair<QString, int>> items{{QStringLiteral("Resampled values"), 0}};
    if (model.region) items.emplace_back(CountedCaption(model), 1);
    const double swatch = lh * 1.4;
    double at = left;
    int row = 0;
    std::vector<int> rowOf;
    std::vector<double> leftOf;
    for (const auto& [text, kind] : items) {
        const double width = swatch + pad / 2 + metrics.horizontalAdvance(text);
        if (at + width > target.right() - pad && at > left) {
            ++row;
            at = left;
        }
        rowOf.push_back(row);
        leftOf.push_back(at);
        at += width + 2 * pad;
    }
    const double legendTop = target.bottom() - pad - (row + 1) * lh;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const double top = legendTop + rowOf[i] * lh;
        const QRectF box(leftOf[i], top + lh * 0.2, swatch, lh * 0.6);
        const QRectF text(box.right() + pad / 2, top, metrics.horizontalAdvance(items[i].first) + 1, lh);
        layout.legend.push_back({box, text, items[i].first, items[i].second});
    }
    layout.xTitleTop = legendTop - pad / 2 - lh;
    layout.area.setBottom(layout.xTitleTop - pad / 3 - lh - lh / 3);

    // Up from the title: one row per level of mark names, then the plot.
    const std::vector<PlotMark> marks = Marks(model);
    layout.area.setTop(layout.title.bottom() + pad);  // provisional: the names need the value mapping only
    PlaceMarkLabels(layout, marks, bold);
    int rows = 0;
    for (const auto& label : layout.markLabels) rows = std::max(rows, label.row + 1);
    const double laneBottom = layout.title.bottom() + pad / 2 + rows * layout.lineHeight;
    // Clear of the names: the top count label stands half a line above the plot.
    layout.area.setTop(laneBottom + (rows > 0 ? lh * 0.6 : 0));
    for (auto& label : layout.markLabels) {
        label.box.moveTop(laneBottom - (label.row + 1) * layout.lineHeight);
        const double x = layout.XAt(marks[std::size_t(label.mark)].value);
        label.lineTop = label.detached                                   ? layout.area.top()
                        : Covers(label.box.left(), label.box.right(), x) ? label.box.bottom()
                                                                         : label.box.center().y();
    }
    if (layout.area.height() < 1) layout.area.setBottom(layout.area.top() + 1);
    return layout;
}

void PaintPlot(QPainter& painter, const QRectF& target, const PlotModel& model, const QString& caption,
               const QFont& font) {
    if (target.width() <= 0 || target.height() <= 0 || model.bins.empty()) return;
    const PlotLayout layout = LayOutPlot(model, target, font, painter.device());
    const QRectF& area = layout.area;
    const QFontMetricsF metrics(font, painter.device());
    painter.save();
    painter.setClipRect(target);
    painter.fillRect(target, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    painter.setFont(Bold(font));
    painter.setPen(Qt::black);
    painter.drawText(layout.title, Qt::AlignHCenter | Qt::AlignTop, PlotTitle(model, caption));
    painter.setFont(font);

    // The band counted as at least as extreme, the grid, then the bars over them.
    for (const auto& [from, to] : model.shaded) {
        const double a = std::max(area.left(), layout.XAt(from)), b = std::min(area.right(), layout.XAt(to));
        if (b > a) painter.fillRect(QRectF(a, area.top(), b - a, area.height()), kRegionColour);
    }
    painter.setPen(QPen(kGridColour, 0));
    for (const double tick : TickValues(layout.y))
        if (tick > 0) painter.drawLine(QPointF(area.left(), layout.YAt(tick)), QPointF(area.right(), layout.YAt(tick)));
    for (const PlotBin& bin : model.bins) {
        if (bin.count == 0) continue;
        double a = layout.XAt(bin.barLeft), b = layout.XAt(bin.barRight);
        if (b - a < 1) {
            const double mid = (a + b) / 2;
            a = mid - 0.5;
            b = mid + 0.5;
        }
        // Every value shows: a bar of one value among thousands is still two pixels high, and so is its
        // counted part.
        const double base = layout.YAt(0);
        const double split = bin.counted > 0 ? std::min(layout.YAt(bin.counted), base - kLeastBar) : base;
        const double top = std::min(layout.YAt(bin.count), split - (bin.count > bin.counted ? kLeastBar : 0.0));
        if (bin.counted > 0) painter.fillRect(QRectF(a, split, b - a, base - split), kCountedColour);
        if (bin.count > bin.counted) painter.fillRect(QRectF(a, top, b - a, split - top), kBarColour);
    }
    if (model.region && std::isfinite(model.region->threshold)) {
        painter.setPen(QPen(kCountedColour, 1, Qt::DotLine));
        const double t = model.region->threshold;
        for (const double edge : {-t, t}) {
            if (edge == -t && (model.region->tails != ExtremeRegion::Tails::Both || t <= 0)) continue;
            const double at = layout.XAt(edge);
            if (at >= area.left() && at <= area.right())
                painter.drawLine(QPointF(at, area.top()), QPointF(at, area.bottom()));
        }
    }

    // Axes, ticks and their labels; the titles.
    painter.setPen(QPen(kAxisColour, 1));
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.bottomLeft(), area.topLeft());
    const double tick = layout.lineHeight / 4;
    for (const double v : TickValues(layout.x)) {
        const double at = layout.XAt(v);
        painter.drawLine(QPointF(at, area.bottom()), QPointF(at, area.bottom() + tick));
        const QString text = TickText(v, layout.x.decimals);
        const double width = metrics.horizontalAdvance(text);
        painter.drawText(QPointF(at - width / 2, area.bottom() + tick + metrics.ascent()), text);
    }
    for (const double v : TickValues(layout.y)) {
        const double at = layout.YAt(v);
        painter.drawLine(QPointF(area.left() - tick, at), QPointF(area.left(), at));
        const QString text = TickText(v, 0);
        // Centred on its tick, but never below the value axis, where the first value label goes.
        const double baseline = std::min(at + metrics.ascent() / 2 - 1, area.bottom());
        painter.drawText(QPointF(area.left() - tick - 2 - metrics.horizontalAdvance(text), baseline), text);
    }
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), layout.xTitleTop, area.width(), metrics.lineSpacing()), Qt::AlignHCenter,
                     caption);
    painter.save();
    painter.translate(target.left() + metrics.lineSpacing() * 0.6, area.center().y());
    painter.rotate(-90);
    const QString count = QStringLiteral("Count");
    painter.drawText(QPointF(-metrics.horizontalAdvance(count) / 2, metrics.ascent()), count);
    painter.restore();

    // The marks: lines up through the plot to their names.
    painter.setRenderHint(QPainter::Antialiasing, true);
    const std::vector<PlotMark> marks = Marks(model);
    painter.setFont(Bold(font));
    const QFontMetricsF bold(Bold(font), painter.device());
    for (const auto& label : layout.markLabels) {
        const PlotMark& mark = marks[std::size_t(label.mark)];
        const double at = layout.XAt(mark.value);
        painter.setPen(MarkPen(mark));
        painter.drawLine(QPointF(at, area.bottom()), QPointF(at, label.lineTop));
        painter.setPen(MarkColour(mark));
        painter.drawText(QPointF(label.box.left(), label.box.top() + bold.ascent()), label.text);
    }
    painter.setFont(font);

    for (const auto& item : layout.legend) {
        if (item.kind == 0) {
            painter.fillRect(item.swatch, kBarColour);
        } else {
            painter.fillRect(item.swatch.adjusted(-3, -3, 3, 3), kRegionColour);
            painter.fillRect(item.swatch, kCountedColour);
        }
        painter.setPen(Qt::black);
        painter.drawText(QPointF(item.text.left(), item.text.top() + metrics.ascent()), item.caption);
    }
    painter.restore();
}

QString PlotNumber(double value) { return HistogramLabel(value); }

QString MarkText(const PlotMark& mark) {
    return QStringLiteral("%1 = %2").arg(QString::fromStdString(mark.name), PlotNumber(mark.value));
}

QString RegionText(const PlotModel& model) {
    if (!model.region) return {};
    const double t = model.region->threshold;
    if (model.region->tails == ExtremeRegion::Tails::Both) {
        if (t <= 0) return QStringLiteral("At least as extreme: every value");
        return QStringLiteral("At least as extreme: \u2264 %1 or \u2265 %2").arg(PlotNumber(-t), PlotNumber(t));
    }
    return QStringLiteral("At least as extreme: \u2265 %1").arg(PlotNumber(t));
}

QString PlotTitle(const PlotModel& model, const QString& caption) {
    return QStringLiteral("%1: %2 resampled values").arg(caption, QLocale().toString(model.total));
}

QStringList PlotNotes(const PlotModel& model, const HistogramRequest& request) {
    const QLocale locale;
    QStringList lines;
    lines << QStringLiteral("%1 resampled values in %2 bins of width %3.")
                 .arg(locale.toString(model.total))
                 .arg(model.bins.size())
                 .arg(locale.toString(model.binWidth, 'g', 6));
    if (model.region) {
        const double share = model.total > 0 ? 100.0 * double(model.counted) / double(model.total) : 0.0;
        const QString region = RegionText(model).section(QStringLiteral(": "), 1);
        if (model.counted == 0)
            lines << QStringLiteral("None of them is counted for p (at least as extreme: %1).").arg(region);
        else
            lines << QStringLiteral(
                         "%1 of them (%2 %) are counted for p (at least as extreme: %3), drawn in orange "
                         "over the shaded band.")
                         .arg(locale.toString(model.counted), locale.toString(share, 'g', 3), region);
        if (model.shaded.empty()) lines << QStringLiteral("No part of the plotted range is at least as extreme.");
    }
    if (model.notShown > 0) {
        QString line = model.notShown == 1 ? QStringLiteral("1 of them is infinite or not a number and is not drawn")
                                           : QStringLiteral("%1 of them are infinite or not numbers and are not drawn")
                                                 .arg(locale.toString(model.notShown));
        if (model.countedNotShown > 0)
            line += QStringLiteral(" (%1 of those counted for p)").arg(locale.toString(model.countedNotShown));
        lines << line + QLatin1Char('.');
    }
    if (!model.obtained) {
        const QString name = QString::fromStdString(ObtainedName(request));
        lines << QStringLiteral("%1 is not a finite number, so it has no line.").arg(name);
    }
    return lines;
}

QFont PlotFontFor(QSize size) {
    QFont font;
    font.setPixelSize(std::clamp(int(std::lround(size.height() / 42.0)), 11, 22));
    return font;
}

QByteArray PlotSvg(const PlotModel& model, const QString& caption, QSize size, const QFont& font,
                   const QString& title) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    QSvgGenerator svg;
    StartSvg(svg, buffer, size, title);
    svg.setDescription(QStringLiteral("The resampled values of the run in 101 bins, with the obtained value marked."));
    // The family the texts were measured in, by name, so a viewer draws them alike; else any sans-serif.
    QFont named = font;
    named.setFamily(QFontInfo(font).family());
    QPainter painter;
    if (!painter.begin(&svg)) return {};
    PaintPlot(painter, QRectF(QPointF(0, 0), QSizeF(size)), model, caption, named);
    painter.end();
    static const QRegularExpression family(QStringLiteral("font-family=\"([^\"]*)\""));
    return QString::fromUtf8(bytes).replace(family, QStringLiteral("font-family=\"\\1, sans-serif\"")).toUtf8();
}

}  // namespace brevant::plot
