// The histogram painter on the offscreen platform: real pictures, checked pixel by pixel against the layout.
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtTest>

#include "support/PlotMetaTypes.h"
#include "support/QtTests.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>
#include <csignal>

#include <sys/resource.h>

#include "engine/Histogram.h"
#include "engine/Module1.h"
#include "engine/NumberText.h"
#include "plot/HistogramPainter.h"
#include "plot/RangeWords.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;

namespace {

// A t-like sample with 5 degrees of freedom from the engine's generator: a normal from twelve uniforms over
// the root of a mean of five squared normals.
std::vector<float> TLikeSample(int n) {
    Generator g{Seeds{101, 202, 303}};
    const auto normal = [&g] {
        double s = 0;
        for (int i = 0; i < 12; ++i) s += g.Uniform();
        return s - 6.0;
    };
    std::vector<float> v;
    for (int i = 0; i < n; ++i) {
        const double z = normal();
        double chi = 0;
        for (int j = 0; j < 5; ++j) {
            const double w = normal();
            chi += w * w;
        }
        v.push_back(float(z / std::sqrt(chi / 5.0)));
    }
    return v;
}

bool IsInk(QRgb p) { return qRed(p) < 128 && qGreen(p) < 128 && qBlue(p) < 128; }  // black text, not red
bool IsRed(QRgb p) { return qRed(p) > 200 && qGreen(p) < 60 && qBlue(p) < 60; }
bool IsReddish(QRgb p) { return qRed(p) > 200 && qGreen(p) < 170 && qBlue(p) < 170; }  // antialiased red

struct Extent {
    int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
    bool Empty() const { return right < 0; }
};

Extent InkIn(const QImage& image, QRect area) {
    area = area.intersected(image.rect());
    Extent e;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (IsInk(image.pixel(x, y))) {
                e.left = std::min(e.left, x);
                e.right = std::max(e.right, x);
                e.top = std::min(e.top, y);
                e.bottom = std::max(e.bottom, y);
            }
    return e;
}

QString WorkPath(const QString& name) { return QDir(QStringLiteral(BREVANT_TEST_WORK_DIR)).filePath(name); }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteText(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

}  // namespace

class HistogramPainterTest : public QObject {
    Q_OBJECT

private:
    HistogramGeometry tSample_;
    const QSize size_{600, 500};  // 0.1 pixel per logical unit in both directions
    const float observed_ = 2.1f;

private slots:
    void initTestCase() {
        std::vector<float> values = TLikeSample(10000);
        tSample_ = ComputeHistogram(values, "t Value", observed_, std::pair{-5.0f, 5.0f});
        QVERIFY(tSample_.maxBinCount > 100);
    }

    void pngShowsAxesBarsAndTexts() {
        const QString path = WorkPath(QStringLiteral("histogram-t.png"));
        QFile::remove(path);
        QCOMPARE(plot::SaveHistogramPng(path, tSample_, size_), QString());
        QImage image(path);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), size_);

        // Red axes: x = 570 from y = 500 to 4000, y = 4030 from x = 570 to 5400.
        for (int y : {60, 200, 390}) QVERIFY2(IsRed(image.pixel(57, y)), qPrintable(QString::number(y)));
        for (int x : {70, 300, 530}) QVERIFY2(IsRed(image.pixel(x, 403)), qPrintable(QString::number(x)));
        QVERIFY(!IsRed(image.pixel(57, 30)));

        // The tallest bar reaches the top of the vertical axis (y = 500 logical, 50 pixels).
        const auto tallest = std::max_element(tSample_.heights.begin(), tSample_.heights.end());
        QCOMPARE(*tallest, 350);
        const int k = int(tallest - tSample_.heights.begin());
        const int barX = int(std::lround(60 + 4.8 * k));
        const Extent bar = InkIn(image, QRect(barX - 1, 20, 3, 380));
        QVERIFY(!bar.Empty());
        QVERIFY2(std::abs(bar.top - 50) <= 1, qPrintable(QString::number(bar.top)));
        QVERIFY(bar.bottom >= 398);

        // Value labels end at the first, middle and last bar (x = 600, 3000, 5400 logical).
        const QFont font = plot::HistogramFontFor(size_);
        const QFontMetricsF metrics(font, &image);
        const int labelTop = 430, labelBottom = labelTop + int(metrics.ascent());
        for (int right : {60, 300, 540}) {
            const Extent label = InkIn(image, QRect(right - 70, labelTop, 100, labelBottom - labelTop));
            QVERIFY(!label.Empty());
            QVERIFY2(label.right <= right && label.right >= right - 4,
                     qPrintable(QStringLiteral("label ending at %1 has its ink end at %2").arg(right).arg(label.right)));
        }

        // Caption and marker note centred in the width.
        for (int top : {450, 470}) {
            const Extent line = InkIn(image, QRect(0, top + 2, 600, int(metrics.ascent()) - 2));
            QVERIFY(!line.Empty());
            QVERIFY2(std::abs((line.left + line.right) / 2.0 - 300) <= 3, qPrintable(QString::number(top)));
        }

        // The marker: left edge at 600 + 48p logical, top at 4200, below the axis.
        const double markerX = 60 + 4.8 * ((observed_ + 5.0) / 0.1);
        const Extent marker = InkIn(image, QRect(int(markerX) - 10, 420, 30, 8));
        QVERIFY(!marker.Empty());
        QVERIFY2(marker.left >= markerX - 1 && marker.left <= markerX + 4, qPrintable(QString::number(marker.left)));

        // The legend: 17 letters one above the other, centred on x = 400 logical, above the axis bottom.
        const Extent legend = InkIn(image, QRect(0, 40, 55, 370));
        QVERIFY(!legend.Empty());
        QVERIFY2(std::abs((legend.left + legend.right) / 2.0 - 40) <= 3, qPrintable(QString::number(legend.left)));
        QVERIFY(legend.top >= 47);
        // One character per text line from y = 475 logical; the ninth line, the blank, stays empty.
        for (int line = 0; line < 18; ++line) {
            const double top = 47.5 + line * metrics.lineSpacing();
            const bool ink = !InkIn(image, QRect(0, int(top) + 1, 55, int(metrics.ascent()) - 1)).Empty();
            QVERIFY2(ink == (line != 8), qPrintable(QStringLiteral("legend line %1").arg(line)));
        }
        QVERIFY(legend.bottom < 47.5 + 18 * metrics.lineSpacing());

        QFile::remove(QStringLiteral("/tmp/histogram-sample.png"));
        QFile::copy(path, QStringLiteral("/tmp/histogram-sample.png"));  // for looking at it by eye
    }

    void svgIsValidAndHoldsTheTexts() {
        const QString path = WorkPath(QStringLiteral("histogram-t.svg"));
        QFile::remove(path);
        QCOMPARE(plot::SaveHistogramSvg(path, tSample_, size_), QString());
        QSvgRenderer renderer(path);
        QVERIFY(renderer.isValid());
        const QByteArray svg = ReadAll(path);
        QVERIFY(svg.contains("t Value"));
        QVERIFY(svg.contains("^ shows position of obtained statistic"));
        QVERIFY(svg.contains("#ff0000"));

        // Rendered back, it shows the same axes and tallest bar as the PNG.
        QImage image(size_, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(&painter);
        painter.end();
        QVERIFY(IsReddish(image.pixel(56, 200)) || IsReddish(image.pixel(57, 200)));
        QVERIFY(IsReddish(image.pixel(300, 402)) || IsReddish(image.pixel(300, 403)));
        const int k = int(std::max_element(tSample_.heights.begin(), tSample_.heights.end()) - tSample_.heights.begin());
        const Extent bar = InkIn(image, QRect(int(std::lround(60 + 4.8 * k)) - 1, 20, 3, 380));
        QVERIFY(!bar.Empty());
        QVERIFY(std::abs(bar.top - 50) <= 2);
    }

    void smallPictureKeepsTheLegendAboveTheAxisBottom() {
        // A 12-pixel font does not fit 18 legend lines into 150 x 125 pixels; the painter makes it smaller.
        const QSize small(150, 125);
        QFont font;
        font.setPixelSize(12);
        QImage image(small, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        plot::PaintHistogram(painter, QRectF(QPointF(0, 0), QSizeF(small)), tSample_, font);
        painter.end();
        const Extent legend = InkIn(image, QRect(0, 0, 14, 100));  // left of the axis at x = 14.25
        QVERIFY(!legend.Empty());
        QVERIFY2(legend.bottom < 100, qPrintable(QString::number(legend.bottom)));  // axis bottom: y = 4000 logical
    }

    // Bars are bands of even width centred on their positions, with a gap to the next bar, at any size.
    void barsAreEvenBandsWithGaps() {
        std::vector<float> values;
        for (int k : {40, 41, 42, 60}) values.insert(values.end(), 5, -5.0f + 0.1f * float(k));
        const HistogramGeometry g = ComputeHistogram(values, "t Value", 0.0f, std::pair{-5.0f, 5.0f});
        for (const QSize size : {QSize(600, 500), QSize(480, 400), QSize(1250, 860)}) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                plot::PaintHistogram(painter, QRectF(QPointF(0, 0), QSizeF(size)), g, plot::HistogramFontFor(size));
            }
            const double sx = size.width() / 6000.0;
            const int row = int(std::lround(3000 * size.height() / 5000.0));  // halfway up every bar
            // Runs of ink along the row, from the first bar on.
            std::vector<std::pair<int, int>> runs;
            for (int x = int(500 * sx); x < size.width(); ++x) {
                if (!IsInk(image.pixel(x, row))) continue;
                if (!runs.empty() && runs.back().second == x - 1)
                    runs.back().second = x;
                else
                    runs.emplace_back(x, x);
            }
            QCOMPARE(int(runs.size()), 4);  // four bars, none merged with its neighbour
            const int expected = std::max(1, std::min(int(std::lround(38.4 * sx)), int(std::floor(48 * sx)) - 1));
            const int bins[] = {40, 41, 42, 60};
            for (int i = 0; i < 4; ++i) {
                const double centre = (600 + 48 * bins[i]) * sx;
                const auto [left, right] = runs[std::size_t(i)];
                QVERIFY2(std::fabs((left + right + 1) / 2.0 - centre) <= 1.0,
                         qPrintable(QStringLiteral("%1: bar %2 at %3..%4").arg(size.width()).arg(bins[i]).arg(left).arg(right)));
                QCOMPARE(right - left + 1, expected);
            }
            QVERIFY(expected * 10 >= int(std::floor(48 * sx)) * 5);  // still about four fifths, not a comb
        }
    }

    // The marker keeps its place (left edge at 600 + 48p, top at 4200) and is heavier than a plain "^".
    void markerIsBoldAndLarger() {
        const QFont font = plot::HistogramFontFor(size_);
        QImage plain(40, 40, QImage::Format_RGB32);
        plain.fill(Qt::white);
        {
            QPainter painter(&plain);
            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(QPointF(5, 30), QStringLiteral("^"));
        }
        const Extent caret = InkIn(plain, plain.rect());
        QImage image(size_, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            plot::PaintHistogram(painter, QRectF(QPointF(0, 0), QSizeF(size_)), tSample_, font);
        }
        const double markerX = 60 + 4.8 * ((observed_ + 5.0) / 0.1);
        const Extent marker = InkIn(image, QRect(int(markerX) - 2, 418, 24, 12));
        QVERIFY(!marker.Empty() && !caret.Empty());
        const int plainWidth = caret.right - caret.left + 1, markerWidth = marker.right - marker.left + 1;
        QVERIFY2(markerWidth * 10 >= plainWidth * 13,
                 qPrintable(QStringLiteral("marker %1 px wide, a plain ^ %2 px").arg(markerWidth).arg(plainWidth)));
        QVERIFY(marker.left >= markerX - 1 && marker.left <= markerX + 4);
        QVERIFY(marker.top >= 420);
    }

    // Over a value label, at the box's default size and smaller, the "^" never touches the label's ink: the
    // picture drawn with the labels alone and again with the "^" differ only away from the labels.
    void markerClearsTheValueLabels() {
        std::vector<float> values = TLikeSample(500);
        for (const QSize size : {QSize(480, 400), QSize(480, 300), QSize(560, 260), QSize(300, 250)}) {
            for (const float observed : {-0.3f, -0.2f, -4.95f, 4.6f}) {
                std::vector<float> shifted = values;
                HistogramGeometry g = ComputeHistogram(shifted, "t Value", observed, std::pair{-5.0f, 5.0f});
                g.lines.clear();
                std::erase_if(g.texts, [](const HistogramText& t) { return !t.value && t.text != "^"; });
                g.legend.lines.clear();
                const auto draw = [&size](const HistogramGeometry& geometry) {
                    QImage image(size, QImage::Format_RGB32);
                    image.fill(Qt::white);
                    QPainter painter(&image);
                    plot::PaintHistogram(painter, QRectF(QPointF(0, 0), QSizeF(size)), geometry,
                                         plot::ScaledHistogramFont(QFont(), QSizeF(size)));
                    return image;
                };
                const QImage both = draw(g);
                std::erase_if(g.texts, [](const HistogramText& t) { return !t.value; });
                const QImage labels = draw(g);
                int caret = 0;
                for (int y = 1; y + 1 < size.height(); ++y)
                    for (int x = 1; x + 1 < size.width(); ++x) {
                        if (both.pixel(x, y) == labels.pixel(x, y)) continue;
                        ++caret;
                        for (int dy = -1; dy <= 1; ++dy)
                            for (int dx = -1; dx <= 1; ++dx)
                                QVERIFY2(labels.pixel(x + dx, y + dy) == qRgb(255, 255, 255),
                                         qPrintable(QStringLiteral("%1x%2 at %3: the \"^\" touches a label at %4,%5")
                                                        .arg(size.width())
                                                        .arg(size.height())
                                                        .arg(observed)
                                                        .arg(x)
                                                        .arg(y)));
                    }
                QVERIFY(caret > 6);
            }
        }
    }

    // The words under the picture: what lies off its range and where, or nothing.
    void rangeWordsSayWhatLiesOff_data() {
        QTest::addColumn<std::vector<float>>("values");
        QTest::addColumn<HistogramRequest>("request");
        QTest::addColumn<QString>("words");
        const float inf = std::numeric_limits<float>::infinity();
        HistogramRequest f{.caption = "F", .observed = 25.6f, .bounds = std::pair{0.0f, 10.0f},
                           .observedLabel = "Obtained F", .extreme = ExtremeRegion{ExtremeRegion::Tails::Upper, 25.6f}};
        QTest::newRow("F above") << std::vector<float>{1, 2, 3, 12, 30, inf} << f
                                 << QStringLiteral("The obtained F, 25.6, lies above the histogram's range, 0 to 10; 2 "
                                                   "of the 6 resamples counted for p lie off it, above 10.");
        HistogramRequest t{.caption = "t", .observed = 2.5f, .bounds = std::pair{-5.0f, 5.0f},
                           .observedLabel = "Obtained t", .extreme = ExtremeRegion{ExtremeRegion::Tails::Both, 2.5f}};
        QTest::newRow("t both ways") << std::vector<float>{-6, -5.2f, 0, 1, 5.5f, 3, 5.04f} << t
                                     << QStringLiteral("3 of the 7 resamples counted for p lie off the histogram's "
                                                       "range, -5 to 5: 2 below -5 and 1 above 5.");
        QTest::newRow("one below") << std::vector<float>{-5.3f, 0} << t
                                   << QStringLiteral("1 of the 2 resamples counted for p lies off the histogram's "
                                                     "range, -5 to 5: below -5.");
        QTest::newRow("all on it") << std::vector<float>{-4, 0, 4.9f} << t << QString();
        t.observed = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("obtained not a number") << std::vector<float>{0, 1} << t << QString();
        HistogramRequest medians{.caption = "D", .observed = 5.0f, .observedLabel = "Median Difference"};
        QTest::newRow("no bounds") << std::vector<float>{1, 2, 3.004f} << medians
                                   << QStringLiteral("The obtained median difference, 5, lies above the histogram's "
                                                     "range, 1 to 3.004.");
    }
    void rangeWordsSayWhatLiesOff() {
        QFETCH(std::vector<float>, values);
        QFETCH(HistogramRequest, request);
        QFETCH(QString, words);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        std::vector<float> shifted = values;
        const HistogramGeometry g = ComputeHistogram(shifted, request.caption, request.observed, request.bounds);
        QCOMPARE(plot::HistogramRangeWords(g, request, values), words);
        QLocale::setDefault(QLocale::system());
    }

    void scaledFontFollowsTheSmallerSide() {
        const QFont base;
        QCOMPARE(plot::ScaledHistogramFont(base, QSizeF(480, 400)).pixelSize(), 12);
        QCOMPARE(plot::ScaledHistogramFont(base, QSizeF(960, 800)).pixelSize(), 24);
        QCOMPARE(plot::ScaledHistogramFont(base, QSizeF(1920, 800)).pixelSize(), 24);  // wide: the height rules
        QCOMPARE(plot::ScaledHistogramFont(base, QSizeF(240, 800)).pixelSize(), 7);    // narrow: never below 7
        QFont bold = base;
        bold.setBold(true);
        QVERIFY(plot::ScaledHistogramFont(bold, QSizeF(480, 400)).bold());
    }

    void labelsFollowTheLocale() {
        QCOMPARE(plot::HistogramLabel(-1234.5, QLocale(QLocale::German, QLocale::Germany)), QStringLiteral("-1.234,500"));
        QCOMPARE(plot::HistogramLabel(-1234.5, QLocale(QLocale::English, QLocale::UnitedStates)),
                 QStringLiteral("-1,234.500"));
        QCOMPARE(plot::HistogramLabel(0.0495, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("0.050"));
        QCOMPARE(plot::HistogramLabel(-0.0001, QLocale(QLocale::English, QLocale::UnitedStates)), QStringLiteral("0.000"));
    }

    // The windows' locale labels and the batch tool's C-locale texts agree, exact ties included.
    void localeLabelsMatchTheBatchToolTexts() {
        const QLocale c = QLocale::c();
        for (int j = -4001; j <= 4001; ++j) {
            for (const double value : {j / 16.0, j / 1000.0 + 0.0004, j * 0.37}) {
                QCOMPARE(plot::HistogramLabel(value, c), QString::fromStdString(ThreeDecimalText(value)));
            }
        }
    }

    void failedSaveKeepsTheOldFile() {
        // A file-size limit makes the write itself fail part of the way (EFBIG instead of a signal).
        const QString limited = WorkPath(QStringLiteral("limited.png"));
        WriteText(limited, "old picture");
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit previous{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
        rlimit small = previous;
        small.rlim_cur = 64;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        QString error = plot::SaveHistogramPng(limited, tSample_, size_);
        const QString svgError = plot::SaveHistogramSvg(limited, tSample_, size_);
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY2(error.startsWith(QStringLiteral("The histogram could not be saved as")), qPrintable(error));
        QVERIFY(!svgError.isEmpty());
        QCOMPARE(ReadAll(limited), QByteArray("old picture"));
        QFile::remove(limited);

        // A name near the file-name length limit is saved like any other (the temporary name is short).
        const QString longName = WorkPath(QString(250, QLatin1Char('h')) + QStringLiteral(".png"));
        WriteText(longName, "old picture");
        QCOMPARE(plot::SaveHistogramPng(longName, tSample_, size_), QString());
        QVERIFY(ReadAll(longName).startsWith("\x89PNG"));
        QFile::remove(longName);

        const QString kept = WorkPath(QStringLiteral("kept.png"));
        WriteText(kept, "old picture");
        QVERIFY(!plot::SaveHistogramPng(kept, tSample_, QSize(0, 0)).isEmpty());
        QCOMPARE(ReadAll(kept), QByteArray("old picture"));

        const QString missingFolder = WorkPath(QStringLiteral("no-such-folder/histogram.png"));
        error = plot::SaveHistogramPng(missingFolder, tSample_, size_);
        QVERIFY(error.contains(QStringLiteral("no-such-folder")));
        QVERIFY(!QFile::exists(missingFolder));

        // A save that succeeds replaces the old file whole.
        QCOMPARE(plot::SaveHistogramPng(kept, tSample_, size_), QString());
        QVERIFY(ReadAll(kept).startsWith("\x89PNG"));
    }
};

BREVANT_QTEST(HistogramPainterTest)
}  // namespace BREVANT_TEST_UNIT
#include "HistogramPainter_test.moc"
