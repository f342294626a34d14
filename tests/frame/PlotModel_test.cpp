// The figures behind the detailed plot: bins and bars, axes and ticks, the shaded region and the marks.
#include <QtTest>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "frame/PlotModel.h"

using namespace brevant;
using brevant::frame::BinAt;
using brevant::frame::BuildPlotModel;
using brevant::frame::NiceStep;
using brevant::frame::PlotModel;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kInfF = std::numeric_limits<float>::infinity();

// 1,000 values spread over -4.5 .. 4.5 and the two bounds themselves, and three that the bounds or
// finiteness leave out.
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

}  // namespace

class PlotModelTest : public QObject {
    Q_OBJECT

private slots:
    void binsSpanTheValuesWithinTheBounds() {
        const std::vector<float> values = TValues();
        const PlotModel m = BuildPlotModel(values, TRequest(ExtremeRegion::Tails::Both, 2.15f));
        QCOMPARE(int(m.bins.size()), kHistogramBins);
        QCOMPARE(m.lower, -5.0);
        QCOMPARE(m.binWidth, 0.1);
        std::int64_t counted = 0;
        for (const auto& bin : m.bins) {
            const double centre = -5.0 + bin.index * 0.1;
            QVERIFY(std::fabs((bin.from + bin.to) / 2 - centre) < 1e-9);
            QVERIFY(std::fabs((bin.to - bin.from) - 0.1) < 1e-9);
            QVERIFY(std::fabs((bin.barLeft + bin.barRight) / 2 - centre) < 1e-9);
            QVERIFY(std::fabs((bin.barRight - bin.barLeft) - 0.08) < 1e-9);
            std::int32_t within = 0;  // the values closer to this centre than half a bin
            for (float v : values) within += std::fabs(double(v) - centre) < 0.05;
            QCOMPARE(bin.count, within);
            QCOMPARE(BinAt(m, centre), bin.index);
            QCOMPARE(BinAt(m, bin.from + 0.001), bin.index);
            counted += bin.count;
        }
        QCOMPARE(m.notShown, std::int64_t(3));  // 6, inf and nan
        QCOMPARE(m.total, std::int64_t(values.size()));
        QCOMPARE(counted + m.notShown, m.total);
        QCOMPARE(BinAt(m, -5.2), -1);
        QCOMPARE(BinAt(m, 5.2), -1);
        QCOMPARE(BinAt(m, kNaN), -1);
    }

    // A statistic bounded by -5 and 5 whose values all lie near 1 gets bins over its own range.
    void zoomsToTheValuesActuallyTaken() {
        std::vector<float> r;
        for (int i = 0; i <= 200; ++i) r.push_back(0.9f + 0.0005f * float(i));
        HistogramRequest request;
        request.bounds = std::pair{-5.0f, 5.0f};
        request.observed = 0.95f;
        PlotModel m = BuildPlotModel(r, request);
        QCOMPARE(m.lower, double(0.9f));
        QVERIFY(std::fabs(m.bins.back().from + m.binWidth / 2 - double(r.back())) < 1e-9);
        QCOMPARE(m.notShown, std::int64_t(0));

        // Values all beyond the bounds: the bounds, nothing shown. No finite value, or a single one: a unit range.
        m = BuildPlotModel(std::vector<float>{7.0f, 8.0f}, request);
        QCOMPARE(m.lower, -5.0);
        QCOMPARE(m.notShown, std::int64_t(2));
        request.bounds.reset();
        m = BuildPlotModel(std::vector<float>{kInfF, std::numeric_limits<float>::quiet_NaN()}, request);
        QCOMPARE(m.lower, -0.5);
        QCOMPARE(m.bins.back().from + m.binWidth / 2, 0.5);
        m = BuildPlotModel(std::vector<float>{2.5f, 2.5f, 2.5f}, request);
        QCOMPARE(m.lower, 2.0);
        QCOMPARE(m.bins[50].count, 3);
        m = BuildPlotModel(std::vector<float>{}, request);
        QCOMPARE(m.total, std::int64_t(0));
    }

    void bothTailsShadeAndMarkTheBinsBeyondTheThreshold() {
        const PlotModel m = BuildPlotModel(TValues(), TRequest(ExtremeRegion::Tails::Both, 2.15f));
        for (const auto& bin : m.bins)
            QCOMPARE(bin.extreme, bin.index <= 28 || bin.index >= 72);  // centres -2.2 and 2.2 outwards
        QCOMPARE(int(m.shaded.size()), 2);
        QCOMPARE(m.shaded[0].first, m.x.min);
        QCOMPARE(m.shaded[0].second, -double(2.15f));
        QCOMPARE(m.shaded[1].first, double(2.15f));
        QCOMPARE(m.shaded[1].second, m.x.max);
    }

    void upperTailAndThresholdsOffTheAxis() {
        PlotModel m = BuildPlotModel(TValues(), TRequest(ExtremeRegion::Tails::Upper, 4.5f));
        QCOMPARE(int(m.shaded.size()), 1);
        QCOMPARE(m.shaded[0].first, double(4.5f));
        QVERIFY(!m.bins[5].extreme);  // the lower tail does not count

        // Beyond the axis or not a number: nothing shaded, no bin marked.
        for (float t : {40.0f, kInfF, std::numeric_limits<float>::quiet_NaN()}) {
            m = BuildPlotModel(TValues(), TRequest(ExtremeRegion::Tails::Both, t));
            QVERIFY2(m.shaded.empty(), qPrintable(QString::number(t)));
            for (const auto& bin : m.bins) QVERIFY(!bin.extreme);
        }
        // |t| >= 0 takes in every value.
        m = BuildPlotModel(TValues(), TRequest(ExtremeRegion::Tails::Both, 0.0f));
        QCOMPARE(int(m.shaded.size()), 1);
        QCOMPARE(m.shaded[0], std::pair(m.x.min, m.x.max));
    }

    void axisMakesRoomForTheObtainedValueUnlessFarOut() {
        PlotModel m = BuildPlotModel(TValues(), TRequest(ExtremeRegion::Tails::Both, 2.2f));
        QVERIFY(m.obtained && m.obtained->onAxis);
        QCOMPARE(m.obtained->name, std::string("Obtained t"));
        QCOMPARE(m.obtained->value, double(2.2f));
        QCOMPARE(m.x.min, m.bins.front().from);  // inside the bins: the axis is the bins'
        QCOMPARE(m.x.max, m.bins.back().to);

        m = BuildPlotModel(TValues(), TRequest(ExtremeRegion::Tails::Both, 7.0f, 7.0f));
        QVERIFY(m.obtained->onAxis);
        QVERIFY(m.x.max >= 7.0 + m.binWidth - 1e-9);
        QCOMPARE(m.shaded.back().second, m.x.max);

        QVERIFY(m.x.min <= -7.0);  // both tails of |t| >= 7 in view

        m = BuildPlotModel(TValues(), TRequest(ExtremeRegion::Tails::Both, 40.0f, -40.0f));
        QVERIFY(!m.obtained->onAxis);
        QCOMPARE(m.x.min, m.bins.front().from);

        HistogramRequest r = TRequest(ExtremeRegion::Tails::Both, 1.0f, kInfF);
        r.observedLabel.clear();
        QVERIFY(!BuildPlotModel(TValues(), r).obtained);
        r.obtained = 1.5f;  // the obtained value, where the marker shows a comparison value
        const PlotModel named = BuildPlotModel(TValues(), r);
        QCOMPARE(named.obtained->value, 1.5);
        QCOMPARE(named.obtained->name, std::string("Obtained value"));
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
        QVERIFY2(std::fabs(NiceStep(span, ticks) - step) <= step * 1e-12, qPrintable(QString::number(NiceStep(span, ticks))));
    }

    void ticksAreExactMultiplesOfTheStep() {
        frame::PlotAxis axis;
        axis.min = -0.86;
        axis.max = 0.97;
        axis.tickStep = 0.2;
        const std::vector<double> ticks = frame::TickValues(axis);
        QCOMPARE(int(ticks.size()), 9);  // -0.8 .. 0.8
        QCOMPARE(ticks[4], 0.0);
        QVERIFY(!std::signbit(ticks[4]));
        QCOMPARE(ticks.front(), -4 * 0.2);
        QCOMPARE(ticks.back(), 4 * 0.2);
        axis.min = 0;
        axis.max = 250;
        axis.tickStep = 50;
        QCOMPARE(frame::TickValues(axis), (std::vector<double>{0, 50, 100, 150, 200, 250}));  // both ends
        axis.tickStep = 0;
        QVERIFY(frame::TickValues(axis).empty());
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

QTEST_MAIN(PlotModelTest)
#include "PlotModel_test.moc"
