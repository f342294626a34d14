#include "app/Pictures.h"

#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <array>
#include <cmath>

namespace brevant::app {

namespace {

const QColor kPaper(250, 248, 242);
const QColor kInk(60, 60, 70);
const QColor kBar(70, 110, 160);
const QColor kBarEdge(40, 70, 115);
const QColor kMark(190, 50, 40);

QPixmap BlankPicture(QSize size) {
    QPixmap pixmap(size);
    pixmap.fill(kPaper);
    return pixmap;
}

}  // namespace

QPixmap HistogramPicture(QSize size) {
    QPixmap pixmap = BlankPicture(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    const double w = size.width();
    const double h = size.height();
    const double left = w * 0.08;
    const double right = w * 0.92;
    const double axisY = h * 0.78;
    const double top = h * 0.10;

    // Bar heights follow a bell curve, the shape most resampled statistics take.
    constexpr int kBars = 13;
    const double barWidth = (right - left) / kBars;
    for (int i = 0; i < kBars; ++i) {
        const double z = (i - (kBars - 1) / 2.0) / 2.6;
        const double height = (axisY - top) * std::exp(-0.5 * z * z);
        const QRectF bar(left + i * barWidth, axisY - height, barWidth, height);
        p.setPen(QPen(kBarEdge, 1.0));
        p.setBrush(kBar);
        p.drawRect(bar.adjusted(0.5, 0, -0.5, 0));
    }

    p.setPen(QPen(kInk, 1.5));
    p.drawLine(QPointF(left - 2, axisY), QPointF(right + 2, axisY));

    // The obtained value, out in the right tail.
    const double markX = left + 10.5 * barWidth;
    const double caret = std::max(4.0, h * 0.07);
    QPolygonF triangle;
    triangle << QPointF(markX, axisY + 3) << QPointF(markX - caret, axisY + 3 + caret * 1.6)
             << QPointF(markX + caret, axisY + 3 + caret * 1.6);
    p.setPen(Qt::NoPen);
    p.setBrush(kMark);
    p.drawPolygon(triangle);
    p.setPen(QPen(kMark, 1.5, Qt::DashLine));
    p.drawLine(QPointF(markX, top), QPointF(markX, axisY));
    return pixmap;
}

QPixmap ResamplePicture(QSize size) {
    QPixmap pixmap = BlankPicture(size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    const std::array<QColor, 6> colours = {QColor(70, 110, 160), QColor(200, 120, 40), QColor(80, 150, 90),
                                           QColor(170, 70, 130), QColor(120, 120, 120), QColor(190, 170, 50)};
    // One resample: positions of the data row that each drawn value came from (repeats allowed).
    constexpr std::array<int, 6> drawn = {2, 0, 2, 5, 3, 0};

    const double w = size.width();
    const double h = size.height();
    const double step = w / 6.0;
    const double radius = std::min(step * 0.32, h * 0.12);
    const double topY = h * 0.22;
    const double bottomY = h * 0.78;

    for (int i = 0; i < 6; ++i) {
        const QPointF from(step * (drawn[static_cast<std::size_t>(i)] + 0.5), topY + radius);
        const QPointF to(step * (i + 0.5), bottomY - radius);
        p.setPen(QPen(QColor(150, 150, 160), 1.0));
        p.drawLine(from, to);
    }
    for (int i = 0; i < 6; ++i) {
        p.setPen(QPen(kInk, 1.0));
        p.setBrush(colours[static_cast<std::size_t>(i)]);
        p.drawEllipse(QPointF(step * (i + 0.5), topY), radius, radius);
        p.setBrush(colours[static_cast<std::size_t>(drawn[static_cast<std::size_t>(i)])]);
        p.drawEllipse(QPointF(step * (i + 0.5), bottomY), radius, radius);
    }
    return pixmap;
}

}  // namespace brevant::app
