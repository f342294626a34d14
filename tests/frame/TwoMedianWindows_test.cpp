// The two-medians windows run through their buttons as the procedures run when called directly: the five
// boxes, the output file's bytes, the histogram and the generator, at the fifth resample count and each
// confidence level; the observed medians show while the resamples run.
#include "analysis/bootstrap/TwoMedianBootTest.h"
#include "windows/RegisterWindows.h"
#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "frame/RunDriver.h"
#include "frame/Shell.h"
#include "analysis/randomization/TwoMedianRandomTest.h"
#include "engine/Histogram.h"
#include "engine/OutputFile.h"
#include "support/WindowRuns.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "support/QtTests.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;
using namespace brevant::testing;

namespace {

using Procedure = RunResult (*)(DataFile&, const RunSettings&, Generator&, RunControl&);
constexpr Seeds kSeeds{4321, 8765, 10987};

}  // namespace

class TwoMedianWindowsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList answers_;

    void Choose(QWidget* w, const char* entry, const QString& file) {
        answers_ << file;
        QAction* action = w->findChild<QAction*>(QLatin1String(entry));
        QVERIFY2(action != nullptr, entry);
        action->trigger();
    }
    static void Click(QWidget* w, const QString& name) {
        auto* button = w->findChild<QAbstractButton*>(name);
        QVERIFY2(button != nullptr, qPrintable(name));
        button->click();
    }
    static QString Box(QWidget* w, const std::string& name) {
        auto* box = w->findChild<QLineEdit*>(QString::fromStdString(name));
        return box == nullptr ? QStringLiteral("<none>") : box->text();
    }

private slots:
    void initTestCase() {
        frame::RegisterWindowClasses();
        QVERIFY(dir_.isValid());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        SetMessageHook([](const QString& text) { QFAIL(qPrintable(text)); });
        // Choosing an output file that exists asks first; these runs mean to write there.
        SetQuestionHook([](const QString&) { return int(QMessageBox::Yes); });
        SetFileDialogHook([this](FileDialogKind, const QString&) {
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        });
    }

    void windowsRunAsTheDirectCall() {
        const struct {
            const char* window;
            const char* example;
            Procedure procedure;
        } windows[] = {
            {"TwoMedianRandomTest", "TwoMedianRandomTest-recall-scores.dat", TwoMedianRandomTestProcedure},
            {"TwoMedianBootTest", "TwoMedianBootTest-waiting-minutes.dat", TwoMedianBootTestProcedure},
        };
        const float quantiles[] = {0.95f, 0.975f, 0.995f};
        for (const auto& win : windows) {
            auto* w = qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(QLatin1String(win.window)));
            QVERIFY(w != nullptr);
            const QString output = dir_.filePath(QStringLiteral("%1.out").arg(QLatin1String(win.window)));
            Choose(w, "mnuOpenFile", Example(win.example));
            Choose(w, "mnuOpenOut", output);
            Click(w, QStringLiteral("Option1_4"));  // 50,000
            for (int level = 0; level < 3; ++level) {
                Click(w, QStringLiteral("Option2_%1").arg(level));
                SetSeeds(kSeeds);
                w->RunButton()->click();
                QVERIFY(w->Running());
                for (const char* box : {"txtMedian1", "txtMedian2", "txtMedDiff"}) QVERIFY(!Box(w, box).isEmpty());
                QVERIFY(Box(w, "txtLowerCL").isEmpty());
                QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), 60000);
                const Seeds afterWindow = GetSeeds();

                SetSeeds(kSeeds);
                DataFile file = DataFile::Open(QFile::encodeName(Example(win.example)).toStdString());
                RunControl control;
                RunResult direct =
                    win.procedure(file, {50000, quantiles[level], std::string()}, TheGenerator(), control);
                QCOMPARE(GetSeeds(), afterWindow);
                for (const ResultBox& box : direct.boxes)
                    QCOMPARE(Box(w, box.control), QLocale().toString(BoxValue(box), 'f', 3));
                QCOMPARE(FileBytes(output), QByteArray::fromStdString(ValueLines(direct.resampled)));
                ExpectHistogramOf(w, direct);
                QCOMPARE(w->ProgressBar1()->value(), 50000);
                QCOMPARE(w->ProgressBar2()->value(), 50000);
            }
            const QString shots = qEnvironmentVariable("BREVANT_FRAME_SHOTS");
            if (!shots.isEmpty()) {
                QDir().mkpath(shots);
                w->grab().save(shots + QLatin1Char('/') + QLatin1String(win.window) + QStringLiteral("-run.png"));
            }
            w->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        QVERIFY(!TheRunGate().Busy());
    }
};

BREVANT_QTEST(TwoMedianWindowsTest)
}  // namespace BREVANT_TEST_UNIT
#include "TwoMedianWindows_test.moc"
