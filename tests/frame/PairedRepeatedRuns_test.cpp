// Runs of the PairedT and Repeated1way windows through their own menu entries and buttons, the resamples on
// the worker thread: the boxes, the output file, the histogram, the notes and the generator are those of the
// procedure called directly with the same seeds, and the boxes sit under their labels as the windows show
// them.
#include "analysis/MonteCarloError.h"
#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "frame/RunDriver.h"
#include "frame/Shell.h"
#include "analysis/randomization/PairedT.h"
#include "analysis/randomization/Repeated1way.h"
#include "engine/Histogram.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "support/WindowRuns.h"
#include "support/WindowTestBase.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "support/QtTests.h"
#include <cmath>

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;
using namespace brevant::testing;

namespace {

using Procedure = RunResult (*)(DataFile&, const RunSettings&, Generator&, RunControl&);

constexpr Seeds kSeeds{2468, 1357, 8642};

RunResult Direct(Procedure procedure, const QString& dataFile, std::int32_t resamples) {
    return RunDirect(procedure, kSeeds, dataFile, resamples);
}

}  // namespace

class PairedRepeatedRunsTest : public WindowTestBase {
    Q_OBJECT

public:
    PairedRepeatedRunsTest() : WindowTestBase(kSeeds) {}

private:
    static QLineEdit* BoxNamed(AnalysisWindow* w, const std::string& name) {
        return w->findChild<QLineEdit*>(QString::fromStdString(name));
    }

    // The window shows the direct run's boxes, histogram and notes, wrote its output file, and left the
    // generator where the direct run leaves it.
    void CompareWithDirect(AnalysisWindow* w, Procedure procedure, const QString& data, std::int32_t resamples,
                           const QString& output) {
        const Seeds afterWindow = GetSeeds();
        const QByteArray written = FileBytes(output);
        RunResult direct = Direct(procedure, data, resamples);
        QCOMPARE(GetSeeds(), afterWindow);
        for (const brevant::ResultBox& box : direct.boxes) {
            QLineEdit* edit = BoxNamed(w, box.control);
            QVERIFY2(edit != nullptr, box.control.c_str());
            QCOMPARE(edit->text(), QString::fromStdString(std::visit([](auto v) { return GeneralText(v); }, box.value)));
        }
        QCOMPARE(written, QByteArray::fromStdString(ValueLines(direct.resampled)));
        ExpectHistogramOf(w, direct);
        ExpectNotesOf(w, direct, resamples);
        QCOMPARE(w->ProgressBar1()->value(), resamples);
    }

    static void ExpectLabel(AnalysisWindow* w, const char* name, const char* text) {
        QLabel* label = w->findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(label != nullptr, name);
        QCOMPARE(label->text(), QLatin1String(text));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        InstallHooks();
    }

    void cleanup() {
        CloseWindows();
        messages_.clear();
    }

    // "  5,000" sign patterns of the example through "&Open..." and "&Open Outfile"; then differences of one
    // size, whose patterns can leave no spread, show their note and write inf.
    void pairedTRunsLikeTheDirectCall() {
        auto* w = qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(QStringLiteral("PairedT")));
        QVERIFY(w != nullptr);
        const QString data = Example("PairedT-anxiety-before-after.dat");
        const QString output = Temp("paired-out.dat");
        Choose(w, "mnuOpenItem", data);
        Choose(w, "mnuOpenOut", output);
        w->findChild<QAbstractButton*>(QStringLiteral("Option1_2"))->click();
        RunAndWait(w);
        QVERIFY(messages_.isEmpty());
        CompareWithDirect(w, PairedTProcedure, data, 5000, output);
        ExpectLabel(w, "label1", "Obtained t");
        ExpectLabel(w, "lblTail", "% < -t | % > +t");
        ExpectLabel(w, "Label3", "p as extreme");
        QVERIFY(BoxNamed(w, "txtPctLess")->x() < BoxNamed(w, "txtPctGreater")->x());
        Shot(w, "PairedT-run");

        const QString same = Temp("same-size.dat");
        QFile file(same);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("3\r\n1 3\r\n4 2\r\n0 2\r\n");
        file.close();
        Choose(w, "mnuOpenItem", same);
        Choose(w, "mnuOpenOut", output);  // the choice for the last data file is forgotten
        w->findChild<QAbstractButton*>(QStringLiteral("Option1_0"))->click();
        RunAndWait(w);
        CompareWithDirect(w, PairedTProcedure, same, 1000, output);
        QVERIFY(w->NotesLabel()->isVisible());
        QVERIFY(FileBytes(output).contains(" inf \r\n"));
        Shot(w, "PairedT-notes");
    }

    void repeated1wayRunsLikeTheDirectCall() {
        auto* w = qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(QStringLiteral("Repeated1way")));
        QVERIFY(w != nullptr);
        const QString data = Example("Repeated1way-recall-over-three-days.dat");
        const QString output = Temp("repeated-out.dat");
        Choose(w, "mnuOpen", data);
        Choose(w, "mnuOpenOut", output);
        w->findChild<QAbstractButton*>(QStringLiteral("Option1_1"))->click();
        RunAndWait(w);
        QVERIFY(messages_.isEmpty());
        CompareWithDirect(w, Repeated1wayProcedure, data, 2000, output);
        ExpectLabel(w, "label1", "Obtained F");
        ExpectLabel(w, "Label2", "Number >= F");
        ExpectLabel(w, "Label3", "p as extreme");
        Shot(w, "Repeated1way-run");

        // Data the run cannot use: one message naming the problem; the boxes and the output file stay.
        const QString before = BoxNamed(w, "txtObtF")->text();
        const QByteArray kept = FileBytes(output);
        const QString additive = Temp("additive.dat");
        QFile file(additive);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("3 3\r\n1 2 3\r\n11 12 13\r\n-1 0 1\r\n");
        file.close();
        Choose(w, "mnuOpen", additive);
        w->RunButton()->click();
        QVERIFY(!w->Running());
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains(QStringLiteral("SS error is 0")), qPrintable(messages_[0]));
        QCOMPARE(BoxNamed(w, "txtObtF")->text(), before);
        QCOMPARE(FileBytes(output), kept);
    }
};

BREVANT_QTEST(PairedRepeatedRunsTest)
}  // namespace BREVANT_TEST_UNIT
#include "PairedRepeatedRuns_test.moc"
