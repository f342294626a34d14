// The MediationBoot window through its buttons, with the resamples on the worker thread: a run shows and
// writes what the procedure called directly gives from the same seeds; a run that stops for a column with
// no variance shows its message and the obtained b(xyz) alone (the other boxes empty, no histogram, the old
// output file untouched, no notes); values beyond 1 give one message box after the run.
#include "analysis/bootstrap/MediationBoot.h"
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
#include <QLabel>
#include <QLineEdit>
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

constexpr Seeds kSeeds{321, 654, 987};
const char* const kBoxes[] = {"txtObtB", "StErrBox", "LowerCI", "UpperCI"};

QString Example() {
    return QStringLiteral(BREVANT_SOURCE_DIR "/help/examples/MediationBoot-sleep-mood-performance.dat");
}

// The procedure on this thread from kSeeds; leaves the generator where the run left it.
RunResult Direct(const QString& dataFile, std::int32_t resamples, float confidence) {
    return RunDirect(MediationBootProcedure, kSeeds, dataFile, resamples, confidence);
}

QString Expected(const brevant::ResultBox& box) { return QLocale().toString(BoxValue(box), 'f', 3); }

// Nine cases on nearly straight lines: bootstrap values just above 1 and a standard error of 0 with a note.
QByteArray LinearCases() {
    QByteArray text = "9\r\n";
    for (int i = 1; i <= 9; ++i) {
        const float v = 0.1f * static_cast<float>(i * i) + 0.37f * 10.0f;
        const float y = v * 1.1f + 0.3f;
        text += QByteArray::fromStdString(ShortestText(v) + " " + ShortestText(y) + " " +
                                          ShortestText(y * 0.7f - 2.0f) + "\r\n");
    }
    return text;
}

}  // namespace

class MediationBootWindowTest : public WindowTestBase {
    Q_OBJECT

public:
    MediationBootWindowTest() : WindowTestBase(kSeeds) {}

private:
    static AnalysisWindow* Open() {
        return qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(QStringLiteral("MediationBoot")));
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        InstallHooks(false);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void init() {
        messages_.clear();
        answers_.clear();
    }

    void cleanup() {
        CloseWindows();
        QVERIFY(!TheRunGate().Busy());
    }

    // "  5,000" and "99 %" on the example with an output file: boxes, file, histogram and generator as the
    // direct run gives them.
    void runsLikeTheDirectCall() {
        AnalysisWindow* w = Open();
        QVERIFY(w != nullptr);
        QCOMPARE(w->windowTitle(), QStringLiteral("Mediation"));
        const QString output = Temp("b.dat");
        Choose(w, "mnuOpenFile", Example());
        Choose(w, "mnuOpenOUt", output);
        Click(w, "Option1_2");
        Click(w, "Option2_2");
        RunAndWait(w);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
        const Seeds afterWindow = GetSeeds();
        RunResult direct = Direct(Example(), 5000, 0.995f);
        QCOMPARE(GetSeeds(), afterWindow);
        QCOMPARE(direct.boxes.size(), std::size(kBoxes));
        for (const brevant::ResultBox& box : direct.boxes)
            QCOMPARE(Box(w, box.control.c_str()), Expected(box));
        QCOMPARE(FileBytes(output), QByteArray::fromStdString(ValueLines(direct.resampled)));
        ExpectHistogramOf(w, direct);
        QCOMPARE(w->ProgressBar1()->value(), 5000);
        QCOMPARE(w->ProgressBar2()->value(), 5000);
        Shot(w, "MediationBoot-run");
    }

    // Two cases: a bootstrap sample soon repeats one case. The window says where it stopped; only the
    // obtained b(xyz) shows; the last good run's output file, boxes, histogram and notes do not survive as
    // if they belonged to this run, and the file is not replaced.
    void aNoVarianceStopShowsTheObtainedBAlone() {
        AnalysisWindow* w = Open();
        const QString output = Temp("kept.dat");
        const QString linear = Temp("linear-first.dat");
        WriteText(linear, LinearCases());
        Choose(w, "mnuOpenFile", linear);
        Choose(w, "mnuOpenOUt", output);
        Click(w, "Option1_1");
        RunAndWait(w);
        const QByteArray before = FileBytes(output);
        QVERIFY(!before.isEmpty());
        QVERIFY(w->Histogram()->Picture().has_value());
        QVERIFY(!w->NotesLabel()->text().isEmpty());  // the last good run's note, to be cleared
        messages_.clear();  // its values beyond 1

        const QString two = Temp("two.dat");
        WriteText(two, "2\r\n1 3 5\r\n2 4 7\r\n");
        Choose(w, "mnuOpenFile", two);
        messages_.clear();
        RunAndWait(w);
        const Seeds afterWindow = GetSeeds();
        QString stop;
        try {
            Direct(two, 2000, 0.975f);
            QFAIL("the direct run did not stop");
        } catch (const RunStopped& e) {
            stop = QString::fromStdString(e.what());
            QCOMPARE(Box(w, "txtObtB"), Expected(e.Observed().at(0)));
        }
        QCOMPARE(GetSeeds(), afterWindow);
        QCOMPARE(messages_, QStringList{stop});
        QVERIFY(stop.startsWith(QStringLiteral("X has no variance, which sometimes happens with very small samples. "
                                               "Process terminating with ")));
        for (const char* name : {"StErrBox", "LowerCI", "UpperCI"}) QVERIFY2(Box(w, name).isEmpty(), name);
        QVERIFY(!w->Histogram()->Picture().has_value());
        QVERIFY(w->NotesLabel()->text().isEmpty());
        QCOMPARE(FileBytes(output), before);
        QVERIFY(w->RunButton()->isEnabled());
        Shot(w, "MediationBoot-stopped");

        // The next good run is whole again.
        Choose(w, "mnuOpenFile", Example());
        messages_.clear();
        RunAndWait(w);
        QVERIFY(messages_.isEmpty());
        for (const char* name : kBoxes) QVERIFY2(!Box(w, name).isEmpty(), name);
        QVERIFY(w->Histogram()->Picture().has_value());
    }

    // Nearly linear columns give bootstrap values just above 1: one message box after the run, the
    // results shown all the same.
    void valuesBeyondOneGiveOneMessage() {
        const QString data = Temp("linear.dat");
        WriteText(data, LinearCases());
        AnalysisWindow* w = Open();
        Choose(w, "mnuOpenFile", data);
        Click(w, "Option1_1");
        Click(w, "Option2_0");
        RunAndWait(w);
        const RunResult direct = Direct(data, 2000, 0.95f);
        QCOMPARE(direct.messages.size(), std::size_t{1});
        QCOMPARE(messages_, QStringList{QString::fromStdString(direct.messages[0])});
        QVERIFY(messages_[0].startsWith(QStringLiteral("This is an illegal value of bXYZ1.000001\n")));
        for (const brevant::ResultBox& box : direct.boxes) QCOMPARE(Box(w, box.control.c_str()), Expected(box));
        QVERIFY(!w->NotesLabel()->text().isEmpty());  // the standard error is 0: the note says why
        Shot(w, "MediationBoot-note");
    }
};

BREVANT_QTEST(MediationBootWindowTest)
}  // namespace BREVANT_TEST_UNIT
#include "MediationBootWindow_test.moc"
