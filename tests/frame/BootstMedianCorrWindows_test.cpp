// Runs of the BootstMedian and BootstCorr windows through their buttons, against the procedures called
// directly with the same seeds: boxes, output file, histogram; BootstCorr's stop at a resample with no
// variance (message, obtained r kept, nothing else shown or written) and its one illegal-value message.
#include "analysis/bootstrap/BootstCorr.h"
#include "analysis/bootstrap/BootstMedian.h"
#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "frame/RunDriver.h"
#include "frame/Shell.h"
#include "engine/Histogram.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "support/WindowRuns.h"
#include "support/WindowTestBase.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "support/QtTests.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;
using namespace brevant::testing;

namespace {

using Procedure = RunResult (*)(DataFile&, const RunSettings&, Generator&, RunControl&);

constexpr Seeds kSeeds{4321, 765, 20001};

RunResult Direct(Procedure procedure, const QString& dataFile, std::int32_t resamples, float confidence) {
    return RunDirect(procedure, kSeeds, dataFile, resamples, confidence);
}

}  // namespace

class BootstMedianCorrWindowsTest : public WindowTestBase {
    Q_OBJECT

public:
    BootstMedianCorrWindowsTest() : WindowTestBase(kSeeds) {}

private:
    // The window shows the direct run's boxes and histogram and wrote its values.
    static void CompareWithDirect(AnalysisWindow* w, Procedure procedure, const QString& data, std::int32_t resamples,
                                  float confidence, const QString& output) {
        const Seeds afterWindow = GetSeeds();
        const QByteArray written = FileBytes(output);
        RunResult direct = Direct(procedure, data, resamples, confidence);
        QCOMPARE(GetSeeds(), afterWindow);
        for (const brevant::ResultBox& box : direct.boxes) QCOMPARE(Box(w, box.control), ResultBoxText(box));
        QCOMPARE(written, QByteArray::fromStdString(ValueLines(direct.resampled)));
        ExpectHistogramOf(w, direct);
        QCOMPARE(w->ProgressBar1()->value(), resamples);
        QCOMPARE(w->ProgressBar2()->value(), resamples);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        InstallHooks();
    }

    void init() {
        messages_.clear();
        answers_.clear();
    }

    void cleanup() {
        CloseWindows();
        QVERIFY(!TheRunGate().Busy());
    }

    // "100,000" and "99 %" on the example: the limits from sorted positions 500 and 99,500.
    void bootstMedianRunsLikeTheDirectCall() {
        AnalysisWindow* w = Open("BootstMedian");
        const QString data = Example("BootstMedian-house-prices.dat");
        const QString output = Temp("medians.dat");
        Choose(w, "mnuOpenFile", data);
        Choose(w, "mnuOutput", output);
        Click(w, "Option1_4");
        Click(w, "Option2_2");
        RunAndWait(w);
        CompareWithDirect(w, BootstMedianProcedure, data, 100000, 0.995f, output);
        QCOMPARE(Box(w, "txtMedian"), QStringLiteral("213.000"));
        QVERIFY(messages_.isEmpty());
        Shot(w, "BootstMedian-run");
    }

    // "50,000" and "90 %" on the example, with an output file.
    void bootstCorrRunsLikeTheDirectCall() {
        AnalysisWindow* w = Open("BootstCorr");
        const QString data = Example("BootstCorr-height-weight.dat");
        const QString output = Temp("r.dat");
        Choose(w, "mnuOpenFile", data);
        Choose(w, "mnuOpenOut", output);
        Click(w, "Option1_4");
        Click(w, "Option2_0");
        RunAndWait(w);
        CompareWithDirect(w, BootstCorrProcedure, data, 50000, 0.95f, output);
        QVERIFY(messages_.isEmpty());
        Shot(w, "BootstCorr-run");
    }

    // Two cases: a resample of one case twice stops the run. The message names the resample; the obtained r
    // shows, the other boxes and the histogram are empty, and the last run's output file is kept.
    void bootstCorrStopsAtAResampleWithNoVariance() {
        AnalysisWindow* w = Open("BootstCorr");
        const QString output = Temp("kept.dat");
        Choose(w, "mnuOpenFile", Example("BootstCorr-height-weight.dat"));
        Choose(w, "mnuOpenOut", output);
        RunAndWait(w);
        const QByteArray before = FileBytes(output);
        QVERIFY(!before.isEmpty());

        const QString two = Temp("two.dat");
        WriteText(two, "2\r\n1 2\r\n3 7\r\n");
        Choose(w, "mnuOpenFile", two);
        RunAndWait(w);
        QString expected;
        try {
            Direct(BootstCorrProcedure, two, 1000, 0.975f);
        } catch (const RunStopped& e) {
            expected = QString::fromStdString(e.what());
        }
        QVERIFY(expected.startsWith(QStringLiteral("X has no variance")));
        QCOMPARE(messages_, QStringList{expected});
        QCOMPARE(Box(w, "txtObtR"), QStringLiteral("1.000"));
        for (const char* empty : {"StErrBox", "LowerCI", "UpperCI"}) QVERIFY2(Box(w, empty).isEmpty(), empty);
        QVERIFY(!w->Histogram()->Picture().has_value());
        QCOMPARE(FileBytes(output), before);
        QVERIFY(w->RunButton()->isEnabled());
        Shot(w, "BootstCorr-stopped");
    }

    // Points on an exact line: some bootstrap r round beyond 1; one message after the run says so.
    void bootstCorrShowsOneIllegalValueMessage() {
        QByteArray text = "12\r\n";
        for (int i = 0; i < 12; ++i) {
            const float x = 0.1f * static_cast<float>(i * i % 7) + 0.3f;
            text += QByteArray::fromStdString(ShortestText(x) + " " + ShortestText(3.0f * x + 0.7f) + "\r\n");
        }
        const QString line = Temp("line.dat");
        WriteText(line, text);
        AnalysisWindow* w = Open("BootstCorr");
        Choose(w, "mnuOpenFile", line);
        RunAndWait(w);
        const RunResult direct = Direct(BootstCorrProcedure, line, 1000, 0.975f);
        QCOMPARE(direct.messages.size(), std::size_t{1});
        QCOMPARE(messages_, QStringList{QString::fromStdString(direct.messages[0])});
        QVERIFY(messages_[0].startsWith(QStringLiteral("This is an illegal value of r1")));
    }
};

BREVANT_QTEST(BootstMedianCorrWindowsTest)
}  // namespace BREVANT_TEST_UNIT
#include "BootstMedianCorrWindows_test.moc"
