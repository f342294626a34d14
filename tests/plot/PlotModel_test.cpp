// The figures behind the detailed plot: bins and bars, axes and ticks, the counted region and the marks;
// over made-up values and over every example's own run.
#include <QDir>
#include <QtTest>

#include "support/PlotMetaTypes.h"
#include "support/QtTests.h"
#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

#include "analysis/catalogue/ProcedureCatalogue.h"
#include "engine/DataFile.h"
#include "plot/PlotModel.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using brevant::plot::BinAt;
using brevant::plot::BuildPlotModel;
using brevant::plot::NiceStep;
using brevant::plot::PlotModel;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();

// 1,000 values spread over -4.5 .. 4.5, the two bounds themselves, one beyond them, and two that are not
// finite.
std::vector<float> TValues() {
    std::vector<float> values;
    for (int i = 0; i < 1000; ++i) values.push_back(float(std::sin(i * 0.7) * 4.5));
    values.insert(values.end(), {-5.0f, 5.0f, 6.0f, kInfF, std::numeric_limits<float>::quiet_NaN()});
    return values;
}

HistogramRequest TRequest(ExtremeRegion::Tails tails, float threshold, float obtained = 2.2f) {
    HistogramRequest r;
    r.caption = "t Value";
    r.observed = obtained;
    r.bounds = std::pair{-5.0f, 5.0f};
    r.observedLabel = "Obtained t";
    r.extreme = ExtremeRegion{tails, threshold};
    return r;
}

// Every finite value in a bin and on the axis; the obtained value and the limits on the axis, off its ends;
// the region's count as the run counts it (ExtremeRegion::Contains).
void CheckCoversEverything(std::span<const float> values, const HistogramRequest& request, const PlotModel& m) {
    std::int64_t finite = 0, counted = 0, shown = 0;
    for (float v : values) {
        counted += request.extreme && request.extreme->Contains(v);
        if (!std::isfinite(v)) continue;
        ++finite;
        QVERIFY2(v >= m.x.min && v <= m.x.max, qPrintable(QString::number(v)));
        QVERIFY2(BinAt(m, v) >= 0, qPrintable(QString::number(v)));
    }
    for (const auto& bin : m.bins) shown += bin.count;
    QCOMPARE(shown, finite);
    QCOMPARE(m.notShown, m.total - finite);
    QCOMPARE(m.counted, counted);
    std::int64_t countedInBins = 0;
    for (const auto& bin : m.bins) countedInBins += bin.counted;
    QCOMPARE(countedInBins + m.countedNotShown, counted);
    std::vector<double> marks;
    if (std::isfinite(request.Obtained())) {
        QVERIFY(m.obtained);
        marks.push_back(m.obtained->value);
    }
    for (const auto& limit : m.limits) marks.push_back(limit.value);
    for (double v : marks) QVERIFY2(v > m.x.min && v < m.x.max, qPrintable(QString::number(v)));
}

}  // namespace

class PlotModelTest : public QObject {
    Q_OBJECT

private slots:
    void binsSpanEveryFiniteValue() {
        const std::vector<float> values = TValues();
        const PlotModel m = BuildPlotModel(values, TRequest(ExtremeRegion::Tails::Both, 2.15f));
        QCOMPARE(int(m.bins.size()), kHistogramBins);
        QCOMPARE(m.lower, -5.0);  // the bounds give way to the values: -5 .. 6
        QCOMPARE(m.binWidth, 0.11);
        for (const auto& bin : m.bins) {
            const double centre = -5.0 + bin.index * 0.11;
            QVERIFY(std::fabs((bin.from + bin.to) / 2 - centre) < 1e-9);
            QVERIFY(std::fabs((bin.barRight - bin.barLeft) - 0.088) < 1e-9);
            std::int32_t within = 0, counted = 0;  // the values closer to this centre than half a bin
            for (float v : values) {
                within += std::fabs(double(v) - centre) < 0.055;
                counted += std::fabs(double(v) - centre) < 0.055 && std::fabs(v) >= 2.15f;
            }
            QCOMPARE(bin.count, within);
            QCOMPARE(bin.counted, counted);
            QCOMPARE(BinAt(m, centre), bin.index);
        }
        QCOMPARE(m.notShown, std::int64_t(2));         // inf and nan
        QCOMPARE(m.countedNotShown, std::int64_t(1));  // inf is beyond 2.15; nan is nowhere
        using Parts = std::vector<std::pair<double, double>>;
        QCOMPARE(m.shaded, (Parts{{m.x.min, -double(2.15f)}, {double(2.15f), m.x.max}}));
        QCOMPARE(BinAt(m, -5.2), -1);
        QCOMPARE(BinAt(m, kNaN), -1);
    }

    void coversEveryFiniteValueAndTheMarks_data() {
        QTest::addColumn<std::vector<float>>("values");
        QTest::addColumn<HistogramRequest>("request");
        std::vector<float> f;
        for (int i = 0; i < 2000; ++i)
            f.push_back(float(std::pow(std::sin(i * 0.31) * 1.9, 2.0) * (i % 7 == 0 ? 3 : 1)));
        HistogramRequest oneway = TRequest(ExtremeRegion::Tails::Upper, 25.6f, 25.6f);
        oneway.bounds = std::pair{0.0f, 10.0f};
        QTest::newRow("F far above its values") << f << oneway;
        oneway.extreme->threshold = 8.0f;
        oneway.observed = oneway.extreme->threshold;
        oneway.obtained = 8.01f;
        QTest::newRow("F among values beyond the bounds") << f << oneway;
        std::vector<float> t = TValues();
        t.insert(t.end(), {-8.5f, 9.25f, -kInfF});
        QTest::newRow("t beyond the bounds both ways") << t << TRequest(ExtremeRegion::Tails::Both, 3.0f, -3.0f);
        QTest::newRow("t far below") << t << TRequest(ExtremeRegion::Tails::Both, 40.0f, -40.0f);
        QTest::newRow("all counted") << t << TRequest(ExtremeRegion::Tails::Both, 0.0f, 0.0f);
        QTest::newRow("threshold not a number") << t << TRequest(ExtremeRegion::Tails::Upper, float(kNaN), 1.0f);
        HistogramRequest limits;
        limits.observed = -3.0f;
        limits.limits = MarkedLimits{0.91f, 0.99f, "Lower CI", "Upper CI"};
        QTest::newRow("one value, marks elsewhere") << std::vector<float>(50, 0.95f) << limits;
        QTest::newRow("no finite value") << std::vector<float>{kInfF, float(kNaN)} << oneway;
        QTest::newRow("an outlier") << std::vector<float>{1.0f, 1.1f, 1.2f, 3e8f} << limits;
    }
    void coversEveryFiniteValueAndTheMarks() {
        QFETCH(std::vector<float>, values);
        QFETCH(HistogramRequest, request);
        CheckCoversEverything(values, request, BuildPlotModel(values, request));
    }

    // Each example run as its window makes it: the plot holds every value and counts for p exactly what
    // the run's proportion box counts.
    void examplesCountWhatThePValueCounts() {
        const QDir examples(QStringLiteral(BREVANT_SOURCE_DIR "/help/examples"));
        int regions = 0;
        for (const QString& file : examples.entryList({QStringLiteral("*.dat")})) {
            const CatalogueEntry* entry = FindProcedure(file.section(QLatin1Char('-'), 0, 0).toStdString());
            QVERIFY2(entry != nullptr, qPrintable(file));
            DataFile data = DataFile::Open(examples.filePath(file).toStdString());
            RunSettings settings;
            settings.resamples = 2000;
            settings.exactLimit = 0;
            Generator generator{Seeds{1, 2, 3}};
            RunControl control;
            const RunResult result = entry->Run(data, settings, Choices{}, generator, control);
            const PlotModel m = BuildPlotModel(result.resampled, result.histogram);
            CheckCoversEverything(result.resampled, result.histogram, m);
            if (!m.region) continue;
            ++regions;
            bool matched = false;  // the proportion the region stands for, among the window's boxes
            for (const ResultBox& box : result.boxes)
                matched |= box.meaning == BoxMeaning::Proportion &&
                           std::llround(BoxValue(box) * settings.resamples) == m.counted;
            QVERIFY2(matched, qPrintable(file + QStringLiteral(": %1 counted").arg(m.counted)));
        }
        QCOMPARE(regions, 6);  // IndepT, PairedT, Corr1, OnewayRandom, Repeated1way, OnewayBoot
    }

    void obtainedValueIsNamedAsObtained() {
        HistogramRequest r = TRequest(ExtremeRegion::Tails::Both, 1.0f);
        QCOMPARE(BuildPlotModel(TValues(), r).obtained->name, std::string("Obtained t"));
        r.observedLabel = "Median Difference";
        QCOMPARE(BuildPlotModel(TValues(), r).obtained->name, std::string("Obtained Median Difference"));
        r.observedLabel.clear();
        QCOMPARE(BuildPlotModel(TValues(), r).obtained->name, std::string("Obtained value"));
        r.obtained = std::numeric_limits<float>::infinity();
        QVERIFY(!BuildPlotModel(TValues(), r).obtained);
    }

    void limitsAreMarkedInOrder() {
        HistogramRequest r;
        r.observed = 0.1f;
        r.limits = MarkedLimits{-3.0f, 3.5f, "Lower CI", "Upper CI"};
        PlotModel m = BuildPlotModel(TValues(), r);
        QVERIFY(!m.region);
        QVERIFY(m.shaded.empty());
        QCOMPARE(int(m.limits.size()), 2);
        QCOMPARE(m.limits[0].name, std::string("Lower CI"));
        QCOMPARE(m.limits[0].value, -3.0);
        QCOMPARE(m.limits[1].value, 3.5);

        r.limits->upper = std::numeric_limits<float>::quiet_NaN();  // read from an undefined resample
        m = BuildPlotModel(TValues(), r);
        QCOMPARE(int(m.limits.size()), 1);
    }

    void niceSteps_data() {
        QTest::addColumn<double>("span");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<double>("step");
        QTest::newRow("t axis") << 10.1 << 10 << 2.0;
        QTest::newRow("unit") << 1.0 << 10 << 0.1;
        QTest::newRow("small") << 0.37 << 8 << 0.05;
        QTest::newRow("counts") << 350.0 << 6 << 100.0;
        QTest::newRow("few counts") << 7.0 << 6 << 2.0;
        QTest::newRow("large") << 2.4e6 << 10 << 5e5;
        QTest::newRow("no span") << 0.0 << 10 << 1.0;
        QTest::newRow("not a number") << kNaN << 10 << 1.0;
    }
    void niceSteps() {
        QFETCH(double, span);
        QFETCH(int, ticks);
        QFETCH(double, step);
        QVERIFY2(std::fabs(NiceStep(span, ticks) - step) <= step * 1e-12,
                 qPrintable(QString::number(NiceStep(span, ticks))));
    }

    void ticksAreExactMultiplesOfTheStep() {
        plot::PlotAxis axis;
        axis.min = -0.86;
        axis.max = 0.97;
        axis.tickStep = 0.2;
        const std::vector<double> ticks = plot::TickValues(axis);
        QCOMPARE(int(ticks.size()), 9);  // -0.8 .. 0.8
        QCOMPARE(ticks[4], 0.0);
        QVERIFY(!std::signbit(ticks[4]));
        QCOMPARE(ticks.front(), -4 * 0.2);
        QCOMPARE(ticks.back(), 4 * 0.2);
        axis.min = 0;
        axis.max = 250;
        axis.tickStep = 50;
        QCOMPARE(plot::TickValues(axis), (std::vector<double>{0, 50, 100, 150, 200, 250}));  // both ends
        axis.tickStep = 0;
        QVERIFY(plot::TickValues(axis).empty());
    }

    void countAxisEndsOnAWholeTickAboveTheTallestBar() {
        const PlotModel m = BuildPlotModel(TValues(), TRequest(ExtremeRegion::Tails::Upper, 1.0f));
        std::int32_t tallest = 0;
        for (const auto& bin : m.bins) tallest = std::max(tallest, bin.count);
        QCOMPARE(m.y.min, 0.0);
        QVERIFY(m.y.max >= tallest);
        QVERIFY(m.y.tickStep >= 1.0);
        QCOMPARE(std::fmod(m.y.max, m.y.tickStep), 0.0);
        QCOMPARE(m.y.decimals, 0);
        QCOMPARE(m.x.decimals, 0);  // ticks every 2

        // Three values in one bin: whole-number ticks, not 0.5 steps.
        const PlotModel small = BuildPlotModel(std::vector<float>{1.0f, 1.0f, 1.0f}, HistogramRequest{});
        QCOMPARE(small.y.tickStep, 1.0);
        QCOMPARE(small.y.max, 4.0);
        QVERIFY(small.x.decimals >= 1);  // a unit range around the common value
    }
};

BREVANT_QTEST(PlotModelTest)
}  // namespace BREVANT_TEST_UNIT
#include "PlotModel_test.moc"
