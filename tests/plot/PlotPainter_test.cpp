// The detailed plot's painter: no name covers another or crosses another mark's line, the value labels stand
// apart, and the counted resamples are drawn in their own colour.
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtTest>

#include "support/PlotMetaTypes.h"
#include "support/QtTests.h"
#include <cmath>
#include <vector>

#include "plot/PlotFiles.h"
#include "plot/PlotModel.h"
#include "plot/PlotPainter.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::plot;

namespace {

std::vector<float> Spread(double from, double to, int n = 3000) {
    std::vector<float> v;
    for (int i = 0; i < n; ++i) v.push_back(float(from + (to - from) * (0.5 + 0.5 * std::sin(i * 0.713))));
    return v;
}

HistogramRequest Limits(float obtained, float lower, float upper) {
    HistogramRequest r;
    r.caption = "Bootstrapped Statistic";
    r.observed = obtained;
    r.observedLabel = "Obtained Statistic";
    r.limits = MarkedLimits{lower, upper, "Lower Conf. Limit", "Upper Conf. Limit"};
    return r;
}

bool IsCountedColour(QRgb p) { return qRed(p) > 190 && qGreen(p) > 70 && qGreen(p) < 120 && qBlue(p) < 70; }

}  // namespace

class PlotPainterTest : public QObject {
    Q_OBJECT

private slots:
    void namesNeitherOverlapNorCrossLines_data() {
        QTest::addColumn<std::vector<float>>("values");
        QTest::addColumn<HistogramRequest>("request");
        QTest::addColumn<QSize>("size");
        const QList<QSize> sizes{QSize(900, 560), QSize(420, 300)};
        for (const QSize& size : sizes) {
            const QByteArray at = QByteArray::number(size.width());
            QTest::newRow("apart " + at) << Spread(3.1, 5.6) << Limits(4.3f, 3.67f, 5.25f) << size;
            QTest::newRow("crowded at the right " + at) << Spread(-6.5, 6.5) << Limits(5.5f, -4.5f, 4.5f) << size;
            QTest::newRow("three within a name " + at) << Spread(0, 1) << Limits(0.5f, 0.49f, 0.51f) << size;
            QTest::newRow("limit beside obtained " + at)
                << Spread(0.94, 0.99) << Limits(0.988f, 0.953f, 0.987f) << size;
            QTest::newRow("obtained far out " + at) << Spread(0, 12) << Limits(25.6f, 0.5f, 11.0f) << size;
            QTest::newRow("at the left " + at) << Spread(-1, 1) << Limits(-1.0f, -0.99f, 0.9f) << size;
        }
    }
    void namesNeitherOverlapNorCrossLines() {
        QFETCH(std::vector<float>, values);
        QFETCH(HistogramRequest, request);
        QFETCH(QSize, size);
        QImage device(size, QImage::Format_RGB32);
        const QFont font = PlotFontFor(size);
        const PlotModel model = BuildPlotModel(values, request);
        const PlotLayout layout = LayOutPlot(model, QRectF(QPointF(0, 0), QSizeF(size)), font, &device);
        const std::vector<PlotMark> marks = Marks(model);
        QCOMPARE(layout.markLabels.size(), marks.size());
        for (const auto& label : layout.markLabels) {
            QVERIFY(layout.target.contains(label.box));
            QVERIFY(label.box.bottom() <= layout.area.top());  // above the bars
            for (const auto& other : layout.markLabels) {
                if (&other == &label) continue;
                QVERIFY2(!label.box.intersects(other.box), qPrintable(label.text + QStringLiteral(" / ") + other.text));
                // Another mark's line rises from the plot to other.lineTop: it must stay clear of this name.
                const double x = layout.XAt(marks[std::size_t(other.mark)].value);
                const bool across = x > label.box.left() - 1 && x < label.box.right() + 1;
                QVERIFY2(!across || other.lineTop >= label.box.bottom(),
                         qPrintable(other.text + QStringLiteral(" crosses ") + label.text));
            }
        }
        // The value labels stand apart, each centred on its tick.
        const QFontMetricsF metrics(font, &device);
        double lastRight = -1e9;
        for (const double tick : TickValues(layout.x)) {
            const double width = metrics.horizontalAdvance(QLocale().toString(tick, 'f', layout.x.decimals));
            const double left = layout.XAt(tick) - width / 2;
            QVERIFY2(left > lastRight, qPrintable(QString::number(tick)));
            lastRight = left + width;
        }
    }

    // Orange where resamples are counted for p, and none where the run counted none.
    void countedResamplesShowInTheirColour() {
        const QSize size(700, 450);
        const auto orangePixels = [&size](const HistogramRequest& request) {
            QImage image(size, QImage::Format_RGB32);
            QPainter painter(&image);
            PaintPlot(painter, QRectF(QPointF(0, 0), QSizeF(size)), BuildPlotModel(Spread(-4, 4), request),
                      QStringLiteral("t Value"), PlotFontFor(size));
            painter.end();
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x) n += IsCountedColour(image.pixel(x, y));
            return n;
        };
        HistogramRequest r;
        r.caption = "t Value";
        r.observed = 3.9f;
        r.observedLabel = "Obtained t";
        r.extreme = ExtremeRegion{ExtremeRegion::Tails::Both, 3.9f};
        const int some = orangePixels(r);
        r.observed = 4.5f;
        r.extreme->threshold = 4.5f;  // beyond every value: only the legend's swatch
        const int none = orangePixels(r);
        QVERIFY2(some > none + 100, qPrintable(QStringLiteral("%1 against %2").arg(some).arg(none)));
    }

    void svgIsAWholeDocumentNamingTheMarks() {
        const PlotModel model = BuildPlotModel(Spread(0, 1), Limits(0.5f, 0.2f, 0.8f));
        const QByteArray svg = PlotSvg(model, QStringLiteral("Statistic"), QSize(900, 540),
                                       PlotFontFor(QSize(900, 540)), QStringLiteral("A title"));
        QVERIFY(QSvgRenderer(svg).isValid());
        QVERIFY(svg.contains("Obtained Statistic = 0.500"));
        QVERIFY(svg.contains("Lower Conf. Limit = 0.200"));
        QVERIFY(svg.contains("sans-serif"));
    }
};

BREVANT_QTEST(PlotPainterTest)
}  // namespace BREVANT_TEST_UNIT
#include "PlotPainter_test.moc"
