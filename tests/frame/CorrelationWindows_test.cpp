// The Corr1 and PairedCorr windows through their buttons, against the procedures called directly with the
// same seeds: the boxes, the histogram, the notes and messages, the counts and levels the buttons choose,
// and no output file from either.
#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "frame/RunDriver.h"
#include "frame/Shell.h"
#include "analysis/randomization/Corr1.h"
#include "analysis/randomization/PairedCorr.h"
#include "engine/Histogram.h"
#include "engine/NumberText.h"
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
#include <QRadioButton>
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
constexpr Seeds kSeeds{4321, 8765, 2109};

}  // namespace

class CorrelationWindowsTest : public WindowTestBase {
    Q_OBJECT

public:
    CorrelationWindowsTest() : WindowTestBase(kSeeds) {}

private:
    // The window shows what the direct run gives from the same seeds, and left the generator where it does.
    static RunResult CompareWithDirect(AnalysisWindow* w, Procedure procedure, const QString& data,
                                       std::int32_t resamples, float confidence) {
        const Seeds afterWindow = GetSeeds();
        RunResult direct = RunDirect(procedure, kSeeds, data, resamples, confidence);
        [&] {
            QCOMPARE(GetSeeds(), afterWindow);
            for (const brevant::ResultBox& box : direct.boxes) {
                QLineEdit* edit = w->findChild<QLineEdit*>(QString::fromStdString(box.control));
                QVERIFY2(edit != nullptr, box.control.c_str());
                QCOMPARE(edit->text(), ExpectedBoxText(box));
            }
            ExpectHistogramOf(w, direct);
            QCOMPARE(w->ProgressBar1()->maximum(), resamples);
        }();
        return direct;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        InstallHooks();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void init() {
        messages_.clear();
        answers_.clear();
    }
    void cleanup() {
        CloseWindows();
    }

    // "  5,000" permutations of the law-school pairs; an output file chosen with "Open Output File" is left
    // alone, and a note says so.
    void corr1RunsLikeTheDirectCallAndWritesNothing() {
        const QString data = Temp("law.dat");
        WriteText(data, "15\r\n576 3.39\r\n635 3.30\r\n558 2.81\r\n578 3.03\r\n666 3.44\r\n580 3.07\r\n555 3.00\r\n"
                        "661 3.43\r\n651 3.36\r\n605 3.13\r\n653 3.12\r\n575 2.74\r\n545 2.76\r\n572 2.88\r\n594 2.96\r\n");
        const QString output = Temp("never.dat");
        auto* w = qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(QStringLiteral("Corr1")));
        QVERIFY(w != nullptr);
        Choose(w, "mnuOpenFile", data);
        Choose(w, "mnuOpenOut", output);
        Click(w, "Option1_2");
        RunAndWait(w);
        CompareWithDirect(w, Corr1Procedure, data, 5000, 0.975f);
        QVERIFY(messages_.isEmpty());
        QVERIFY(!QFile::exists(output));
        QVERIFY(w->NotesLabel()->isVisible());
        QVERIFY2(w->NotesLabel()->text().contains(QStringLiteral("writes no output file")),
                 qPrintable(w->NotesLabel()->text()));
        Shot(w, "Corr1-run");
    }

    // "50,000" selects 50,000 and "99 %" sets the level the run uses; values that differ in their last digits
    // (whose single sums once gave impossible r) run centred: no message, and the notes say so.
    void pairedCorrUsesItsButtonsAndNotesACentredRun() {
        const QString data = Temp("paired.dat");
        WriteText(data, "10\r\n12 30 14 33\r\n15 34 16 35\r\n9 25 11 29\r\n18 40 17 36\r\n11 29 13 30\r\n"
                        "14 31 15 37\r\n20 44 19 41\r\n10 27 12 28\r\n16 36 18 39\r\n13 32 14 31\r\n");
        auto* w = qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(QStringLiteral("PairedCorr")));
        QVERIFY(w != nullptr);
        QCOMPARE(w->CountButton(4)->text(), QStringLiteral("50,000"));
        Choose(w, "mnuOpenFile", data);
        Click(w, "Option1_4");
        Click(w, "Option2_2");
        RunAndWait(w);
        CompareWithDirect(w, PairedCorrProcedure, data, 50000, 0.995f);
        QVERIFY(messages_.isEmpty());
        QCOMPARE(w->ProgressBar2()->value(), 50000);
        Shot(w, "PairedCorr-run");

        const QString digits = Temp("digits.dat");
        WriteText(digits, "6\r\n100 300 100 300\r\n100.02 300.03 100.05 300.01\r\n100.04 300.01 100.04 300.02\r\n"
                          "100.06 300.04 100.03 300\r\n100.01 300.02 100.02 300.01\r\n100.03 300 100.01 300.02\r\n");
        Choose(w, "mnuOpenFile", digits);
        Click(w, "Option1_0");
        Click(w, "Option2_1");
        RunAndWait(w);
        CompareWithDirect(w, PairedCorrProcedure, digits, 1000, 0.975f);
        QVERIFY(messages_.isEmpty());
        QVERIFY2(w->NotesLabel()->text().contains(QStringLiteral("differ little relative to their size")),
                 qPrintable(w->NotesLabel()->text()));
    }
};

BREVANT_QTEST(CorrelationWindowsTest)
}  // namespace BREVANT_TEST_UNIT
#include "CorrelationWindows_test.moc"
