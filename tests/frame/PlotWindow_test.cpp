// The detailed plot window: opened from the picture box and the analysis window's File menu, following
// the box's runs, its marks and notes, its tooltips per bin, its exports through the dialog seams; and the
// window's report of the same run.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QSvgRenderer>
#include <QtTest>

#include "support/QtTests.h"
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "windows/RegisterWindows.h"
#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "frame/PlotWindow.h"
#include "frame/Shell.h"
#include "engine/Module1.h"
#include "support/WindowRuns.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;

namespace {

using brevant::testing::FlushDeletes;

// 500 values within -4 .. 4, and the bounds themselves, so the plot's bins are those of the bounds.
std::vector<float> Values() {
    std::vector<float> values;
    for (int i = 0; i < 500; ++i) values.push_back(float(std::sin(i * 0.37) * 3.0 + std::cos(i * 1.3)));
    values.push_back(-5.0f);
    values.push_back(5.0f);
    return values;
}

HistogramGeometry Geometry() {
    std::vector<float> values = Values();
    return ComputeHistogram(values, "t Value", 2.5f, std::pair{-5.0f, 5.0f});
}

HistogramRequest RegionRequest() {
    HistogramRequest r;
    r.caption = "t Value";
    r.observed = 2.5f;
    r.bounds = std::pair{-5.0f, 5.0f};
    r.observedLabel = "Obtained t";
    r.extreme = ExtremeRegion{ExtremeRegion::Tails::Both, 2.5f};
    return r;
}

HistogramRequest LimitsRequest() {
    HistogramRequest r;
    r.caption = "Bootstrapped Mean";
    r.observed = 0.25f;
    r.observedLabel = "Obtained Mean";
    r.limits = MarkedLimits{-2.0f, 2.75f, "Lower CI", "Upper CI"};
    return r;
}

// The names written over the plot: its marks' and its legend's.
QStringList PlotNames(PlotWindow* plot) {
    QStringList names;
    const plot::PlotLayout layout = plot->View()->Layout();
    for (const auto& label : layout.markLabels) names << label.text;
    for (const auto& item : layout.legend) names << item.caption;
    return names;
}

QString WorkPath(const QString& name) { return QDir(QStringLiteral(BREVANT_TEST_WORK_DIR)).filePath(name); }

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool IsBarBlue(QRgb p) { return qBlue(p) > 140 && qRed(p) < 110 && qGreen(p) < 150; }

}  // namespace

class PlotWindowTest : public QObject {
    Q_OBJECT

    QStringList messages_;
    QStringList answers_;

private slots:
    void initTestCase() { frame::RegisterWindowClasses(); }
    void init() {
        messages_.clear();
        answers_.clear();
        SetMessageHook([this](const QString& text) { messages_ << text; });
        SetFileDialogHook([this](FileDialogKind, const QString&) {
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        });
    }
    void cleanup() {
        SetMessageHook({});
        SetFileDialogHook({});
    }

    void opensFromTheBoxAndFollowsIt() {
        HistogramBox box;
        box.resize(480, 400);
        QVERIFY(!box.PlotAction()->isEnabled());
        QVERIFY(box.toolTip().isEmpty());
        box.ShowPlot();  // nothing to plot: a message, no window
        QCOMPARE(messages_.size(), 1);
        QVERIFY(box.Plot() == nullptr);

        box.ShowHistogram(Geometry(), RegionRequest(), Values());
        QVERIFY(box.PlotAction()->isEnabled());
        QVERIFY(box.toolTip().contains(QStringLiteral("detailed plot")));
        QCOMPARE(box.PlotAction()->text(), QStringLiteral("Plot..."));
        box.PlotAction()->trigger();
        PlotWindow* plot = box.Plot();
        QVERIFY(plot != nullptr);
        QVERIFY(plot->isVisible());
        QVERIFY(plot->isWindow());
        QVERIFY(plot->minimumSize().width() < plot->maximumSize().width());  // resizable
        QVERIFY(plot->width() > box.width() && plot->height() > box.height());

        const QStringList names = PlotNames(plot);
        const std::vector<float> values = Values();
        const auto counted = std::count_if(values.begin(), values.end(), [](float v) { return std::fabs(v) >= 2.5f; });
        const QString countedName = QStringLiteral("Counted for p: %1 of 502 (\u2264 -2.500 or \u2265 2.500)").arg(counted);
        QVERIFY2(names.contains(countedName),
                 qPrintable(names.join(QLatin1Char('|'))));
        QVERIFY(names.contains(QStringLiteral("Resampled values")));
        QVERIFY(names.contains(QStringLiteral("Obtained t = 2.500")));
        QCOMPARE(plot->View()->Caption(), QStringLiteral("t Value"));
        QCOMPARE(plot->Model()->y.min, 0.0);
        QVERIFY(plot->Model()->x.min <= -5.0 && plot->Model()->x.max >= 5.0);

        // A second "Plot..." brings the same window forward.
        box.ShowPlot();
        QCOMPARE(box.Plot(), plot);

        // A run starting clears the box and so the plot; the next run's picture replaces it.
        box.Clear();
        QVERIFY(!plot->Model());
        QVERIFY(!plot->findChild<QPushButton*>(QStringLiteral("cmdExport"))->isEnabled());
        box.ShowHistogram(Geometry(), LimitsRequest(), Values());
        QVERIFY(plot->Model());
        const QStringList limits = PlotNames(plot);
        QVERIFY2(limits.contains(QStringLiteral("Lower CI = -2.000")), qPrintable(limits.join(QLatin1Char('|'))));
        QVERIFY(limits.contains(QStringLiteral("Upper CI = 2.750")));
        QVERIFY(limits.contains(QStringLiteral("Obtained Mean = 0.250")));
        QVERIFY(!limits.join(QLatin1Char('|')).contains(QStringLiteral("extreme")));

        plot->close();  // closing discards it; the next "Plot..." makes a new one
        FlushDeletes();
        QVERIFY(box.Plot() == nullptr);
    }

    // Every resample undefined (no spread anywhere): an empty plot that says why, not a crash.
    void noFiniteValueGivesAnEmptyPlotWithANote() {
        std::vector<float> values(20, std::numeric_limits<float>::quiet_NaN());
        std::vector<float> shifted = values;
        HistogramRequest request = RegionRequest();
        request.obtained = std::numeric_limits<float>::infinity();
        HistogramBox box;
        box.ShowHistogram(ComputeHistogram(shifted, "t Value", 2.5f, request.bounds), request, values);
        box.ShowPlot();
        PlotWindow* plot = box.Plot();
        QVERIFY(QTest::qWaitForWindowExposed(plot));
        QCOMPARE(plot->Model()->notShown, std::int64_t(20));
        const QString notes = plot->findChild<QLabel*>(QStringLiteral("lblPlotNotes"))->text();
        QVERIFY2(notes.contains(QStringLiteral("20 of them are infinite or not numbers and are not drawn")),
                 qPrintable(notes));
        QVERIFY(notes.contains(QStringLiteral("Obtained t is not a finite number")));
        QVERIFY(!PlotNames(plot).join(QLatin1Char('|')).contains(QStringLiteral("Obtained t =")));
        QVERIFY(!plot->grab().isNull());
    }

    void doubleClickOpensThePlot() {
        HistogramBox box;
        box.resize(480, 400);
        box.show();
        QTest::mouseDClick(&box, Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(box.Plot() == nullptr);  // nothing shown yet
        box.ShowHistogram(Geometry(), RegionRequest(), Values());
        QTest::mouseDClick(&box, Qt::LeftButton, {}, QPoint(100, 100));
        QVERIFY(box.Plot() != nullptr);
    }

    void tooltipNamesTheBinsRangeAndCount() {
        HistogramBox box;
        const HistogramGeometry g = Geometry();
        box.ShowHistogram(g, RegionRequest(), Values());
        box.ShowPlot();
        PlotWindow* plot = box.Plot();
        QVERIFY(QTest::qWaitForWindowExposed(plot));
        const plot::PlotLayout layout = plot->View()->Layout();
        const int tallest = int(std::max_element(g.counts.begin(), g.counts.end()) - g.counts.begin());
        for (int k : {tallest, 80, 100}) {
            const plot::PlotBin& bin = plot->Model()->bins[std::size_t(k)];
            const double centre = (bin.from + bin.to) / 2;
            const QPoint inView(int(std::lround(layout.XAt(centre))), int(layout.area.bottom()) - 2);
            const QString tip = plot->TipAt(inView);
            QCOMPARE(tip, plot->BinTip(k));
            QVERIFY(k != tallest || bin.count > 0);
            QVERIFY2(tip.contains(QStringLiteral("\n%1 of 502 (").arg(bin.count)), qPrintable(tip));
            const QString from = QLocale().toString(bin.from, 'f', 3);
            QVERIFY2(tip.startsWith(QStringLiteral("Values from ") + from), qPrintable(tip));
            QCOMPARE(tip.contains(QStringLiteral("counted for p")), bin.counted > 0);
        }
        // A bin straddling the threshold 2.5 counts only its values at or beyond it.
        for (const plot::PlotBin& bin : plot->Model()->bins)
            if (bin.from < 2.5 && bin.to > 2.5 && bin.counted > 0 && bin.counted < bin.count)
                QVERIFY(plot->BinTip(bin.index).contains(QStringLiteral("%1 of them counted for p").arg(bin.counted)));
        QCOMPARE(plot->TipAt(QPoint(2, 2)), QString());  // outside the plot area
        QCOMPARE(plot->BinTip(101), QString());
    }

    void exportsPngSvgAndPdf() {
        HistogramBox box;
        box.ShowHistogram(Geometry(), RegionRequest(), Values());
        box.ShowPlot();
        PlotWindow* plot = box.Plot();
        QVERIFY(QTest::qWaitForWindowExposed(plot));
        QAction* exportEntry = plot->findChild<QAction*>(QStringLiteral("mnuExportPlot"));
        QVERIFY(exportEntry != nullptr && exportEntry->isEnabled());

        const QString png = WorkPath(QStringLiteral("plot.png"));
        const QString svg = WorkPath(QStringLiteral("plot.svg"));
        const QString pdf = WorkPath(QStringLiteral("plot.PDF"));
        for (const QString& path : {png, svg, pdf}) QFile::remove(path);
        answers_ << png << svg << pdf;
        exportEntry->trigger();
        plot->findChild<QPushButton*>(QStringLiteral("cmdExport"))->click();
        plot->ExportAs();
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));

        const QImage image(png);
        QCOMPARE(image.size(), plot->View()->size());
        int blue = 0;
        for (int y = 0; y < image.height(); y += 2)
            for (int x = 0; x < image.width(); x += 2) blue += IsBarBlue(image.pixel(x, y));
        QVERIFY2(blue > 200, qPrintable(QString::number(blue)));  // the bars are drawn, not an empty frame

        QVERIFY(QSvgRenderer(svg).isValid());
        const QByteArray svgText = ReadAll(svg);
        QVERIFY(svgText.contains("Obtained t"));
        QVERIFY(svgText.contains("Count"));

        const QByteArray pdfBytes = ReadAll(pdf);
        QVERIFY(pdfBytes.startsWith("%PDF-"));
        QVERIFY(pdfBytes.trimmed().endsWith("%%EOF"));
        QVERIFY(pdfBytes.size() > 2000);
    }

    void refusedExportsLeaveFilesAlone() {
        HistogramBox box;
        box.ShowHistogram(Geometry(), RegionRequest(), Values());
        box.ShowPlot();
        PlotWindow* plot = box.Plot();

        answers_ << WorkPath(QStringLiteral("plot.txt"));
        plot->ExportAs();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(QStringLiteral(".png, .svg or .pdf")));
        QVERIFY(!QFile::exists(WorkPath(QStringLiteral("plot.txt"))));

        // A missing folder is named; a 254-character name is written like any other (the temporary file
        // beside it has a short name), replacing the old file whole.
        messages_.clear();
        answers_ << WorkPath(QStringLiteral("no-such-folder/plot.png"));
        plot->ExportAs();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].startsWith(QStringLiteral("The plot could not be exported as")));
        const QString longName = WorkPath(QString(250, QLatin1Char('p')) + QStringLiteral(".pdf"));
        {
            QFile old(longName);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old document");
        }
        messages_.clear();
        answers_ << longName;
        plot->ExportAs();
        QVERIFY(messages_.isEmpty());
        QVERIFY(ReadAll(longName).startsWith("%PDF-"));
        QFile::remove(longName);

        messages_.clear();
        plot->ExportAs();  // the dialog was cancelled
        QVERIFY(messages_.isEmpty());

        box.Clear();
        plot->ExportAs();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(QStringLiteral("nothing to export")));
    }

    // A real run: the File menu ends with the picture's two entries and Save Report..., the plot carries the
    // run's region, and the report holds what the window shows.
    void analysisWindowOffersThePictureEntriesAndTheReport() {
        auto* w = qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(QStringLiteral("IndepT")));
        QVERIFY(w != nullptr);
        QMenu* file = w->menuBar()->actions().constFirst()->menu();
        const QList<QAction*> entries = file->actions();
        QVERIFY(entries.size() >= 4);
        QVERIFY(entries[entries.size() - 4]->isSeparator());
        QCOMPARE(entries[entries.size() - 3]->text(), QStringLiteral("Save Histogram As..."));
        QCOMPARE(entries[entries.size() - 2]->text(), QStringLiteral("Plot..."));
        QCOMPARE(entries.last()->text(), QStringLiteral("Save Report..."));
        QVERIFY(!entries[entries.size() - 2]->isEnabled() && !entries.last()->isEnabled());

        const QString data = QStringLiteral(BREVANT_SOURCE_DIR "/help/examples/IndepT-reaction-times.dat");
        answers_ << data;
        w->findChild<QAction*>(QStringLiteral("mnuOpenfile"))->trigger();
        SetSeeds(Seeds{11, 22, 33});
        w->RunButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), 60000);
        QVERIFY(entries[entries.size() - 2]->isEnabled() && entries.last()->isEnabled());
        entries[entries.size() - 2]->trigger();
        PlotWindow* plot = w->Histogram()->Plot();
        QVERIFY(plot != nullptr);
        QVERIFY(plot->Model() && plot->Model()->region);
        QCOMPARE(plot->Model()->total, std::int64_t(1000));
        const double obtained = QLocale().toDouble(w->findChild<QLineEdit*>(QStringLiteral("txtObtT"))->text());
        QVERIFY(std::fabs(plot->Model()->obtained->value - obtained) < 0.0005);
        QVERIFY(plot->windowTitle().startsWith(w->windowTitle()));

        // The report: every box as shown, the seeds, the data file, the command, the plot.
        const QString report = WorkPath(QStringLiteral("IndepT report.html"));
        QFile::remove(report);
        answers_ << report;
        entries.last()->trigger();
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
        const QString page = QString::fromUtf8(ReadAll(report));
        for (QLineEdit* box : w->findChildren<QLineEdit*>())
            if (!box->text().isEmpty())
                QVERIFY2(page.contains(QStringLiteral("<td>%1</td>").arg(box->text())), qPrintable(box->text()));
        QVERIFY(page.contains(QStringLiteral("<code>11,22,33</code>")));
        QVERIFY(page.contains(QStringLiteral("brevant-cli IndepT %1 --resamples 1000 --seed 11,22,33").arg(data)));
        QVERIFY(page.contains(QStringLiteral("Obtained t = ")));
        QVERIFY(page.contains(w->NotesLabel()->text().split(QLatin1Char('\n')).constFirst().toHtmlEscaped()));
        // Refused where it cannot go: no folder, or the data file itself, which stays as it was.
        const QByteArray before = ReadAll(data);
        for (const QString& path : {WorkPath(QStringLiteral("no-such-folder/r.html")), data}) {
            messages_.clear();
            answers_ << path;
            w->SaveReport();
            QCOMPARE(messages_.size(), 1);
            QVERIFY2(messages_[0].contains(QStringLiteral("report file")), qPrintable(messages_[0]));
        }
        QCOMPARE(ReadAll(data), before);

        // Unloading the analysis window takes its plot with it.
        QPointer<PlotWindow> watched(plot);
        w->close();
        FlushDeletes();
        QVERIFY(watched.isNull());
    }
};

BREVANT_QTEST(PlotWindowTest)
}  // namespace BREVANT_TEST_UNIT
#include "PlotWindow_test.moc"
