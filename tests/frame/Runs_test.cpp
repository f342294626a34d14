// Runs of the IndepT and BootstMean windows through their buttons, with the resamples on the worker thread.
// What a window shows and writes is checked against the procedure called directly on this thread with the
// same seeds; the texts expected in the boxes are formed here from the values (QLocale for three decimals,
// the engine's general text otherwise).
#include "analysis/MonteCarloError.h"
#include "analysis/bootstrap/BootstMean.h"
#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "frame/RunDriver.h"
#include "frame/Shell.h"
#include "analysis/randomization/IndepT.h"
#include "engine/Histogram.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "support/WindowRuns.h"
#include "support/WindowTestBase.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QLocale>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/QtTests.h"
#include <cmath>
#include <limits>

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;
using namespace brevant::testing;

namespace {

using Procedure = RunResult (*)(DataFile&, const RunSettings&, Generator&, RunControl&);

constexpr Seeds kSeeds{1234, 5678, 9012};

// The same run on this thread, from the same seeds; leaves the generator where the run left it.
RunResult Direct(Procedure procedure, const QString& dataFile, std::int32_t resamples, float confidence) {
    return RunDirect(procedure, kSeeds, dataFile, resamples, confidence);
}

// n values with spread, no two equal: "nA nB" then the values, eight to a line.
QByteArray ManyValues(int nA, int nB) {
    QByteArray text = QByteArray::number(nA) + ' ' + QByteArray::number(nB) + "\r\n";
    for (int i = 0; i < nA + nB; ++i) {
        text += QByteArray::number(100.0 + std::fmod(i * 37.17, 53.0) + i * 0.001, 'f', 3);
        text += (i % 8 == 7) ? "\r\n" : " ";
    }
    return text;
}

}  // namespace

class RunsTest : public WindowTestBase {
    Q_OBJECT

public:
    RunsTest() : WindowTestBase(kSeeds) {}

private:
    void ChooseData(AnalysisWindow* w, const QString& file) {
        Choose(w, w->objectName() == QLatin1String("IndepT") ? "mnuOpenfile" : "mnuOpenFile", file);
    }
    void ChooseOutput(AnalysisWindow* w, const QString& file) {
        Choose(w, w->objectName() == QLatin1String("IndepT") ? "mnuOpenOut" : "mnuOutput", file);
    }
    static QStringList Boxes(AnalysisWindow* w) {
        QStringList texts;
        for (const char* name : {"txtObtT", "txtNumLess", "txtNumGreater", "txtProbMore", "txtEffectSize", "txtMean",
                                 "LowerCL", "UpperCL", "txtStError"})
            if (QLineEdit* box = w->findChild<QLineEdit*>(QLatin1String(name))) texts << box->text();
        return texts;
    }

    // The window shows the direct run's boxes, histogram, notes and final progress, and left the generator
    // where the direct run leaves it.
    void CompareWithDirect(AnalysisWindow* w, Procedure procedure, const QString& data, std::int32_t resamples,
                           float confidence, const QString& output) {
        const Seeds afterWindow = GetSeeds();
        const QByteArray written = output.isEmpty() ? QByteArray() : FileBytes(output);
        RunResult direct = Direct(procedure, data, resamples, confidence);
        QCOMPARE(GetSeeds(), afterWindow);
        for (const brevant::ResultBox& box : direct.boxes) QCOMPARE(Box(w, box.control), ExpectedBoxText(box));
        if (!output.isEmpty()) QCOMPARE(written, QByteArray::fromStdString(ValueLines(direct.resampled)));

        HistogramGeometry expected;
        ExpectHistogramOf(w, direct, &expected);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(w->Histogram()->Picture()->lower, expected.lower);

        ExpectNotesOf(w, direct, resamples);
        QCOMPARE(w->NotesLabel()->isVisible(), !direct.notes.empty());

        QCOMPARE(w->ProgressBar1()->value(), resamples);
        QCOMPARE(w->ProgressBar1()->maximum(), resamples);
        if (w->ProgressBar2() != nullptr) QCOMPARE(w->ProgressBar2()->value(), resamples);
        QVERIFY(w->RunButton()->isEnabled());
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        InstallHooks();
    }

    void init() {
        messages_.clear();
        answers_.clear();
    }

    void cleanup() {
        CloseWindows();
        QVERIFY(!TheRunGate().Busy());
        QLocale::setDefault(QLocale::c());
    }

    // "  5,000" resamples of the example, with an output file: boxes, file, histogram and generator as the
    // direct run; then the example's degenerate cousin, whose shuffles can leave no spread, shows its note.
    void indepTRunsLikeTheDirectCall() {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        AnalysisWindow* w = Open("IndepT");
        const QString data = Example("IndepT-reaction-times.dat");
        const QString output = Temp("indept-out.dat");
        ChooseData(w, data);
        ChooseOutput(w, output);
        Click(w, "Option1_2");
        RunAndWait(w);
        QVERIFY(messages_.isEmpty());
        CompareWithDirect(w, IndepTProcedure, data, 5000, 0.975f, output);
        Shot(w, "IndepT-run");

        const QString tied = Temp("tied.dat");
        WriteText(tied, "2,2\r\n1,2\r\n1,2\r\n");  // a shuffle to A = 1 1, B = 2 2 has no spread
        ChooseData(w, tied);
        ChooseOutput(w, output);  // the choice for the last data file is forgotten
        Click(w, "Option1_0");
        RunAndWait(w);
        CompareWithDirect(w, IndepTProcedure, tied, 1000, 0.975f, output);
        Shot(w, "IndepT-notes");
        QVERIFY(!w->NotesLabel()->text().isEmpty());
        QVERIFY(FileBytes(output).contains(" inf \r\n"));
    }

    // The obtained figures show from the moment the run starts, with the other boxes empty, and the final
    // result shows the same texts in them.
    void obtainedFiguresShowFromTheStartOfARun() {
        const struct {
            const char* window;
            const char* data;
            Procedure procedure;
            std::vector<std::string> observed, later;
        } cases[] = {
            {"IndepT", "IndepT-reaction-times.dat", IndepTProcedure, {"txtObtT", "txtEffectSize"},
             {"txtNumLess", "txtNumGreater", "txtProbMore"}},
            {"BootstMean", "BootstMean-daily-screen-hours.dat", BootstMeanProcedure, {"txtMean"},
             {"LowerCL", "UpperCL", "txtStError"}},
        };
        for (const auto& c : cases) {
            AnalysisWindow* w = Open(c.window);
            ChooseData(w, Example(c.data));
            SetSeeds(kSeeds);
            w->RunButton()->click();
            QVERIFY(w->Running());  // the result comes back through the event loop, not yet entered
            QStringList during;
            for (const std::string& box : c.observed) {
                during << Box(w, box);
                QVERIFY2(!during.last().isEmpty(), box.c_str());
            }
            for (const std::string& box : c.later) QVERIFY2(Box(w, box).isEmpty(), box.c_str());
            QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), kRunTimeout);
            QStringList after;
            for (const std::string& box : c.observed) after << Box(w, box);
            QCOMPARE(after, during);
            CompareWithDirect(w, c.procedure, Example(c.data), 1000, 0.975f, QString());
        }
    }

    // A locale with comma decimals and dot grouping shows the three-decimal boxes in its own form.
    void threeDecimalsFollowTheLocale() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        AnalysisWindow* w = Open("BootstMean");
        const QString data = Temp("big.dat");
        WriteText(data, "3\r\n1234.5 1236.5 1240\r\n");
        ChooseData(w, data);
        RunAndWait(w);
        // mean of the three values, by hand: 3711 / 3 = 1237
        QCOMPARE(Box(w, "txtMean"), QStringLiteral("1.237,000"));
        CompareWithDirect(w, BootstMeanProcedure, data, 1000, 0.975f, QString());

        brevant::ResultBox box{"x", "l", "L", -0.0004f, BoxFormat::ThreeDecimals};
        QCOMPARE(ResultBoxText(box), QStringLiteral("0,000"));  // rounds to zero: no sign
        box.value = -std::numeric_limits<float>::infinity();
        QCOMPARE(ResultBoxText(box), QStringLiteral("-inf"));
        box.value = 0.00001;  // a double in the general text
        box.format = BoxFormat::General;
        QCOMPARE(ResultBoxText(box), QStringLiteral("1E-05"));
    }

    // "99 %" and "  2,000", run twice: both runs use 0.995; reopened, the window runs with 1,000 and 0.975.
    void bootstMeanKeepsItsChoicesUntilReopened() {
        AnalysisWindow* w = Open("BootstMean");
        const QString data = Example("BootstMean-daily-screen-hours.dat");
        const QString output = Temp("mean-out.dat");
        ChooseData(w, data);
        ChooseOutput(w, output);
        Click(w, "Option1_1");
        Click(w, "Option2_2");
        RunAndWait(w);
        CompareWithDirect(w, BootstMeanProcedure, data, 2000, 0.995f, output);
        RunAndWait(w);
        CompareWithDirect(w, BootstMeanProcedure, data, 2000, 0.995f, output);
        QVERIFY(messages_.isEmpty());
        Shot(w, "BootstMean-run");

        Click(w, "Command1");  // "Main Menu" unloads the window
        FlushDeletes();
        w = Open("BootstMean");
        QVERIFY(w->ConfidenceButton(1)->isChecked());
        QVERIFY(w->CountButton(0)->isChecked());
        ChooseData(w, data);  // the output file is still the one chosen before
        RunAndWait(w);
        CompareWithDirect(w, BootstMeanProcedure, data, 1000, 0.975f, output);
    }

    // Data a run cannot use: one message naming the problem; the boxes, the histogram and the output file
    // stay as the last good run left them, and no new output file appears.
    void badDataChangesNothing() {
        const struct {
            const char* window;
            const char* text;
            const char* says;
        } cases[] = {
            {"IndepT", "2 2\r\n1 a 3 4\r\n", "line 2, item 2"},
            {"IndepT", "1 2\r\n1 2 3\r\n", "group A; each group needs at least 2 values"},
            {"IndepT", "2 2\r\n5 5 5 5\r\n", "no spread"},
            {"IndepT", "3 3\r\n1 2 3 4\r\n", "group"},  // fewer values than announced
            {"BootstMean", "4\r\n7 7 7 7\r\n", "all equal"},
            {"BootstMean", "1\r\n7\r\n", "needs at least 2 values"},
            {"BootstMean", "", "empty"},
            {"BootstMean", nullptr, "cannot read"},  // the file is gone by the time of the run
        };
        const QString good = Temp("good.dat");
        WriteText(good, "3 3\r\n1 2 3\r\n4 5 7\r\n");
        const QString bad = Temp("bad.dat");
        const QString output = Temp("kept.dat");
        const QString never = Temp("never.dat");
        for (const auto& c : cases) {
            AnalysisWindow* w = Open(c.window);
            ChooseData(w, good);
            ChooseOutput(w, output);
            RunAndWait(w);
            const QStringList before = Boxes(w);
            const QByteArray file = FileBytes(output);
            QVERIFY(!file.isEmpty());
            const auto counts = w->Histogram()->Picture()->counts;

            WriteText(bad, c.text == nullptr ? "" : c.text);
            ChooseData(w, bad);
            if (c.text == nullptr) QVERIFY(QFile::remove(bad));
            messages_.clear();
            w->RunButton()->click();
            QVERIFY(!w->Running());
            QCOMPARE(messages_.size(), 1);
            QVERIFY2(messages_[0].contains(QLatin1String(c.says), Qt::CaseInsensitive), qPrintable(messages_[0]));
            QCOMPARE(Boxes(w), before);
            QCOMPARE(FileBytes(output), file);
            QVERIFY(w->Histogram()->Picture().has_value() && w->Histogram()->Picture()->counts == counts);

            ChooseOutput(w, never);
            w->RunButton()->click();
            QVERIFY(!QFile::exists(never));
            QVERIFY(w->RunButton()->isEnabled());
            w->close();
            FlushDeletes();
        }
    }

    // While one window runs, no Run button anywhere can start another, and a start that gets through is
    // refused; afterwards every Run button is enabled again.
    void oneRunAtATimeInTheProgram() {
        const QString data = Temp("thousand.dat");
        WriteText(data, ManyValues(500, 500));
        AnalysisWindow* mean = Open("BootstMean");
        ChooseData(mean, Example("BootstMean-daily-screen-hours.dat"));
        AnalysisWindow* t = Open("IndepT");
        ChooseData(t, data);
        Click(t, "Option1_3");
        t->RunButton()->click();
        QVERIFY(t->Running());
        QVERIFY(!t->RunButton()->isEnabled());
        QVERIFY(!mean->RunButton()->isEnabled());
        AnalysisWindow* later = Open("OnewayBoot");  // opened during the run: disabled too
        QVERIFY(!later->RunButton()->isEnabled());

        mean->cmdRun_Click();
        QCOMPARE(messages_, QStringList{kRunInProgressMessage});
        QVERIFY(!mean->Running());
        QVERIFY(mean->findChild<QLineEdit*>(QStringLiteral("txtMean"))->text().isEmpty());

        QTRY_VERIFY_WITH_TIMEOUT(!t->Running(), kRunTimeout);
        QVERIFY(t->RunButton()->isEnabled() && mean->RunButton()->isEnabled() && later->RunButton()->isEnabled());
        QVERIFY(!Box(t, "txtProbMore").isEmpty());
    }

    // 100,000 shuffles of 1,000 values, stopped by "Main Menu", by the title bar's close and by the quit
    // button: the worker ends, the old output file is untouched, the window goes, and the next run works.
    void closingDuringARunCancelsIt() {
        const QString data = Temp("thousand.dat");
        WriteText(data, ManyValues(500, 500));
        const QString output = Temp("old-output.dat");
        for (const char* how : {"Main Menu", "close", "Quit"}) {
            WriteText(output, "old\r\n");
            AnalysisWindow* w = Open("IndepT");
            ChooseData(w, data);
            ChooseOutput(w, output);
            Click(w, "Option1_4");
            w->RunButton()->click();
            // The window stays responsive: the progress bar moves while the resamples run.
            QTRY_VERIFY_WITH_TIMEOUT(w->ProgressBar1()->isVisible() && w->ProgressBar1()->value() > 1, kRunTimeout);
            QVERIFY(w->Running());
            QVERIFY(!w->RunButton()->isEnabled());
            Shot(w, "IndepT-during-run");
            QPointer<AnalysisWindow> alive = w;
            QElapsedTimer clock;
            clock.start();
            if (QLatin1String(how) == QLatin1String("Quit")) {
                QTimer::singleShot(0, w, [w] { w->findChild<QPushButton*>(QStringLiteral("Quit"))->click(); });
                QTimer guard;
                guard.setSingleShot(true);
                connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
                guard.start(10000);
                QCOMPARE(QApplication::exec(), 0);
            } else if (QLatin1String(how) == QLatin1String("close")) {
                w->close();
            } else {
                Click(w, "cmdMainMenu");
            }
            const qint64 waited = clock.elapsed();
            FlushDeletes();
            QVERIFY2(alive.isNull(), how);
            QVERIFY(!TheRunGate().Busy());
            QCOMPARE(FileBytes(output), QByteArray("old\r\n"));
            QVERIFY(messages_.isEmpty());
            qInfo("%s during a run: closed in %lld ms", how, static_cast<long long>(waited));
        }
        AnalysisWindow* w = Open("IndepT");
        ChooseData(w, Example("IndepT-reaction-times.dat"));
        RunAndWait(w);
        QVERIFY(!Box(w, "txtObtT").isEmpty());
    }

    // Items after the announced values: the run uses what is announced, and the notes say what was not read,
    // from the start of the run to its result.
    void unreadItemsAreNoted() {
        const QString data = Temp("decimal-commas.dat");
        WriteText(data, "3 3\r\n1 2 3\r\n4 5 7\r\n8,5 9,5\r\n");
        AnalysisWindow* w = Open("IndepT");
        ChooseData(w, data);
        RunAndWait(w);
        QVERIFY(messages_.isEmpty());
        const QString notes = w->NotesLabel()->text();
        QVERIFY2(notes.startsWith(QStringLiteral("4 more items in the data file")), qPrintable(notes));
        QVERIFY2(notes.contains(QStringLiteral("decimal commas")), qPrintable(notes));
        QVERIFY(w->NotesLabel()->isVisible());
        QVERIFY(!Box(w, "txtObtT").isEmpty());

        WriteText(data, "3 3\r\n1 2 3\r\n4 5 7\r\n");  // read whole: the note goes, the rest is as before
        RunAndWait(w);
        CompareWithDirect(w, IndepTProcedure, data, 1000, 0.975f, QString());
    }

    // An output folder that does not exist is refused before the run. A file that cannot be replaced when
    // the run ends: a message, the old file as it was, and the results shown all the same.
    void outputFileProblems() {
        AnalysisWindow* w = Open("IndepT");
        const QString data = Example("IndepT-reaction-times.dat");
        ChooseData(w, data);
        ChooseOutput(w, Temp("no-such-folder/out.dat"));
        w->RunButton()->click();
        QVERIFY(!w->Running());
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(QStringLiteral("does not exist")));
        QVERIFY(Box(w, "txtObtT").isEmpty());

        // /proc takes no new files, not even from root, and its folder passes the check before the run.
        const QString fixed = QStringLiteral("/proc/version");
        const QByteArray old = FileBytes(fixed);
        if (old.isEmpty() || !QFileInfo(QStringLiteral("/proc")).isWritable()) QSKIP("no /proc to test against");
        messages_.clear();
        ChooseOutput(w, fixed);
        RunAndWait(w);
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains(QStringLiteral("not saved")), qPrintable(messages_[0]));
        QCOMPARE(FileBytes(fixed), old);
        CompareWithDirect(w, IndepTProcedure, data, 1000, 0.975f, QString());
    }

    // How long the largest runs take in the window, the wait for the result included.
    void timings() {
        const QString data = Temp("thousand.dat");
        WriteText(data, ManyValues(500, 500));
        AnalysisWindow* t = Open("IndepT");
        ChooseData(t, data);
        ChooseOutput(t, Temp("timing-t.dat"));
        Click(t, "Option1_4");
        QElapsedTimer clock;
        clock.start();
        RunAndWait(t);
        qInfo("IndepT, 100,000 shuffles of 1,000 values, output file: %lld ms", static_cast<long long>(clock.elapsed()));

        const QString values = Temp("thousand-mean.dat");
        QByteArray text = ManyValues(500, 500);
        text.replace(0, text.indexOf('\r'), "1000");
        WriteText(values, text);
        AnalysisWindow* m = Open("BootstMean");
        ChooseData(m, values);
        ChooseOutput(m, Temp("timing-mean.dat"));
        Click(m, "Option1_4");
        clock.restart();
        RunAndWait(m);
        qInfo("BootstMean, 50,000 resamples of 1,000 values, output file: %lld ms",
              static_cast<long long>(clock.elapsed()));
        QVERIFY(messages_.isEmpty());
    }
};

BREVANT_QTEST(RunsTest)
}  // namespace BREVANT_TEST_UNIT
#include "Runs_test.moc"
