// The figures behind the detailed plot: bins and bars, axes and ticks, the shaded region and the marks.
#include <QtTest>
#include <cmath>
#include <limits>
#include <vector>

#include "analysis/frame/PlotModel.h"

using namespace brevant;
using brevant::frame::BinAt;
using brevant::frame::BuildPlotModel;
using brevant::frame::NiceStep;
using brevant::frame::PlotModel;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();

// 1,000 values spread over -4.5 .. 4.5, and three that the t bounds leave out.
HistogramGeometry TGeometry() {
    std::vector<float> values;
    for (int i = 0; i < 1000; ++i) values.push_back(float(std::sin(i * 0.7) * 4.5));
    values.push_back(6.0f);
    values.push_back(kInfF);
    values.push_back(std::numeric_limits<float>::quiet_NaN());
    return ComputeHistogram(values, "t Value", 2.2f, std::pair{-5.0f, 5.0f});
}

HistogramRequest TRequest(ExtremeRegion::Tails tails, float threshold, float obtained = 2.2f) {
    HistogramRequest r;
    r.caption = "t Value";
    r.observed = obtained;
    r.observedLabel = "Obtained t";
    r.extreme = ExtremeRegion{tails, threshold};
    return r;
}

}  // namespace

class PlotModelTest : public QObject {
    Q_OBJECT

private slots:
    void binsAreTheHistogramsBins() {
        const HistogramGeometry g = TGeometry();
        const PlotModel m = BuildPlotModel(g, TRequest(ExtremeRegion::Tails::Both, 2.15f));
        QCOMPARE(int(m.bins.size()), kHistogramBins);
        std::int64_t counted = 0;
        for (const auto& bin : m.bins) {
            const double centre = -5.0 + bin.index * double(g.binWidth);
            QVERIFY(std::fabs((bin.from + bin.to) / 2 - centre) < 1e-9);
            QVERIFY(std::fabs((bin.to - bin.from) - g.binWidth) < 1e-9);
            QVERIFY(std::fabs((bin.barLeft + bin.barRight) / 2 - centre) < 1e-9);
            QVERIFY(std::fabs((bin.barRight - bin.barLeft) - 0.8 * g.binWidth) < 1e-9);
            QCOMPARE(bin.count, g.counts[std::size_t(bin.index)]);
            QCOMPARE(BinAt(m, centre), bin.index);
            QCOMPARE(BinAt(m, bin.from + 0.01 * g.binWidth), bin.index);
            counted += bin.count;
        }
        QCOMPARE(m.notShown, std::int64_t(3));
        QCOMPARE(m.total, std::int64_t(1003));
        QCOMPARE(counted + m.notShown, m.total);
        QCOMPARE(BinAt(m, -5.2), -1);
        QCOMPARE(BinAt(m, 5.2), -1);
        QCOMPARE(BinAt(m, kNaN), -1);
    }

    void bothTailsShadeAndMarkTheBinsBeyondTheThreshold() {
        const PlotModel m = BuildPlotModel(TGeometry(), TRequest(ExtremeRegion::Tails::Both, 2.15f));
        for (const auto& bin : m.bins)
            QCOMPARE(bin.extreme, bin.index <= 28 || bin.index >= 72);  // centres -2.2 and 2.2 outwards
        QCOMPARE(int(m.shaded.size()), 2);
        QCOMPARE(m.shaded[0].first, m.x.min);
        QCOMPARE(m.shaded[0].second, -double(2.15f));
        QCOMPARE(m.shaded[1].first, double(2.15f));
        QCOMPARE(m.shaded[1].second, m.x.max);
    }

    void upperTailAndThresholdsOffTheAxis() {
        PlotModel m = BuildPlotModel(TGeometry(), TRequest(ExtremeRegion::Tails::Upper, 4.5f));
        QCOMPARE(int(m.shaded.size()), 1);
        QCOMPARE(m.shaded[0].first, double(4.5f));
        QVERIFY(!m.bins[5].extreme);  // the lower tail does not count

        // Beyond the axis or not a number: nothing shaded, no bin marked.
        for (float t : {40.0f, kInfF, std::numeric_limits<float>::quiet_NaN()}) {
            m = BuildPlotModel(TGeometry(), TRequest(ExtremeRegion::Tails::Both, t));
            QVERIFY2(m.shaded.empty(), qPrintable(QString::number(t)));
            for (const auto& bin : m.bins) QVERIFY(!bin.extreme);
        }
        // |t| >= 0 takes in every value.
        m = BuildPlotModel(TGeometry(), TRequest(ExtremeRegion::Tails::Both, 0.0f));
        QCOMPARE(int(m.shaded.size()), 1);
        QCOMPARE(m.shaded[0], std::pair(m.x.min, m.x.max));
    }

    void axisMakesRoomForTheObtainedValueUnlessFarOut() {
        PlotModel m = BuildPlotModel(TGeometry(), TRequest(ExtremeRegion::Tails::Both, 2.2f));
        QVERIFY(m.obtained && m.obtained->onAxis);
        QCOMPARE(m.obtained->name, std::string("Obtained t"));
        QCOMPARE(m.obtained->value, double(2.2f));
        QCOMPARE(m.x.min, m.bins.front().from);  // inside the bins: the axis is the bins'
        QCOMPARE(m.x.max, m.bins.back().to);

        m = BuildPlotModel(TGeometry(), TRequest(ExtremeRegion::Tails::Both, 7.0f, 7.0f));
        QVERIFY(m.obtained->onAxis);
        QVERIFY(m.x.max >= 7.0 + m.binWidth - 1e-9);
        QCOMPARE(m.shaded.back().second, m.x.max);

        m = BuildPlotModel(TGeometry(), TRequest(ExtremeRegion::Tails::Both, 40.0f, -40.0f));
        QVERIFY(!m.obtained->onAxis);
        QCOMPARE(m.x.min, m.bins.front().from);

        HistogramRequest r = TRequest(ExtremeRegion::Tails::Both, 1.0f, kInfF);
        r.observedLabel.clear();
        QVERIFY(!BuildPlotModel(TGeometry(), r).obtained);
        r.obtained = 1.5f;  // the obtained value, where the marker shows a comparison value
        const PlotModel named = BuildPlotModel(TGeometry(), r);
        QCOMPARE(named.obtained->value, 1.5);
        QCOMPARE(named.obtained->name, std::string("Obtained value"));
    }

    void limitsAreMarkedInOrder() {
        HistogramRequest r;
        r.observed = 0.1f;
        r.limits = MarkedLimits{-3.0f, 3.5f, "Lower CI", "Upper CI"};
        PlotModel m = BuildPlotModel(TGeometry(), r);
        QVERIFY(!m.region);
        QVERIFY(m.shaded.empty());
        QCOMPARE(int(m.limits.size()), 2);
        QCOMPARE(m.limits[0].name, std::string("Lower CI"));
        QCOMPARE(m.limits[0].value, -3.0);
        QCOMPARE(m.limits[1].value, 3.5);

        r.limits->upper = std::numeric_limits<float>::quiet_NaN();  // read from an undefined resample
        m = BuildPlotModel(TGeometry(), r);
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
        QVERIFY2(std::fabs(NiceStep(span, ticks) - step) <= step * 1e-12, qPrintable(QString::number(NiceStep(span, ticks))));
    }

    void countAxisEndsOnAWholeTickAboveTheTallestBar() {
        const HistogramGeometry g = TGeometry();
        const PlotModel m = BuildPlotModel(g, TRequest(ExtremeRegion::Tails::Upper, 1.0f));
        QCOMPARE(m.y.min, 0.0);
        QVERIFY(m.y.max >= g.maxBinCount);
        QVERIFY(m.y.tickStep >= 1.0);
        QCOMPARE(std::fmod(m.y.max, m.y.tickStep), 0.0);
        QCOMPARE(m.y.decimals, 0);
        QCOMPARE(m.x.decimals, 0);  // ticks every 2

        // Three values in one bin: whole-number ticks, not 0.5 steps.
        std::vector<float> few{1.0f, 1.0f, 1.0f};
        const PlotModel small = BuildPlotModel(ComputeHistogram(few, "x", 1.0f), HistogramRequest{});
        QCOMPARE(small.y.tickStep, 1.0);
        QCOMPARE(small.y.max, 4.0);
        QVERIFY(small.x.decimals >= 1);  // a unit range around the common value
    }
};

QTEST_MAIN(PlotModelTest)
#include "PlotModel_test.moc"
