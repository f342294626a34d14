// The OnewayRandom and OnewayBoot windows run through their menus and buttons, with the resamples on the
// worker thread: result boxes (names, labels, texts), output file and generator as the procedure called
// directly on this thread from the same seeds; OnewayBoot's check box "Bootstrap Errors" is read once, as
// the run starts.
#include "analysis/MonteCarloError.h"
#include "analysis/bootstrap/OnewayBoot.h"
#include "windows/OnewayBootWindow.h"
#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "frame/Shell.h"
#include "analysis/randomization/OnewayRandom.h"
#include "engine/Histogram.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"
#include "support/WindowRuns.h"
#include "support/WindowTestBase.h"

#include <QAction>
#include <QCheckBox>
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
#include <functional>

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;
using namespace brevant::testing;

namespace {

using Procedure = std::function<RunResult(DataFile&, const RunSettings&, Generator&, RunControl&)>;

constexpr Seeds kSeeds{2468, 1357, 8642};

RunResult Direct(const Procedure& procedure, const QString& dataFile, std::int32_t resamples) {
    return RunDirect(procedure, kSeeds, dataFile, resamples);
}

Procedure Boot(bool errors) {
    return [errors](DataFile& file, const RunSettings& settings, Generator& generator, RunControl& control) {
        return OnewayBootProcedure(file, settings, errors, generator, control);
    };
}

}  // namespace

class OnewayWindowsTest : public WindowTestBase {
    Q_OBJECT

public:
    OnewayWindowsTest() : WindowTestBase(kSeeds) {}

private:
    // Boxes with their labels, output file, histogram, notes and generator as the direct run leaves them.
    void CompareWithDirect(AnalysisWindow* w, const Procedure& procedure, const QString& data,
                           std::int32_t resamples, const QString& output) {
        const Seeds afterWindow = GetSeeds();
        const QByteArray written = FileBytes(output);
        RunResult direct = Direct(procedure, data, resamples);
        QCOMPARE(GetSeeds(), afterWindow);
        QCOMPARE(direct.boxes.size(), std::size_t{3});
        for (const brevant::ResultBox& box : direct.boxes) {
            QCOMPARE(Box(w, box.control), ExpectedBoxText(box));
            QLabel* label = w->findChild<QLabel*>(QString::fromStdString(box.labelControl));
            QVERIFY2(label != nullptr, box.labelControl.c_str());
            QCOMPARE(label->text(), QString::fromStdString(box.label));
        }
        QCOMPARE(written, QByteArray::fromStdString(ValueLines(direct.resampled)));
        ExpectHistogramOf(w, direct);
        ExpectNotesOf(w, direct, resamples);
        QCOMPARE(w->ProgressBar1()->value(), resamples);
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        InstallHooks();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void cleanup() {
        CloseWindows();
        messages_.clear();
    }

    void onewayRandomRunsLikeTheDirectCall() {
        AnalysisWindow* w = Open("OnewayRandom");
        QVERIFY(w != nullptr);
        const QString data = Example("OnewayRandom-teaching-methods.dat");
        const QString output = dir_.filePath(QStringLiteral("random-out.dat"));
        Choose(w, "mnuOpenFile", data);
        Choose(w, "mnuOpenOut", output);
        w->findChild<QAbstractButton*>(QStringLiteral("Option1_2"))->click();
        RunAndWait(w);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(' ')));
        CompareWithDirect(w, OnewayRandomProcedure, data, 5000, output);
        Shot(w, "OnewayRandom-run");
    }

    void onewayBootReadsItsCheckBoxAsTheRunStarts() {
        auto* w = qobject_cast<OnewayBoot*>(Open("OnewayBoot"));
        QVERIFY(w != nullptr);
        QCheckBox* box = w->findChild<QCheckBox*>(QStringLiteral("ChkErrors"));
        QVERIFY(box != nullptr && box == w->ChkErrors());
        QCOMPARE(box->text(), QStringLiteral("Bootstrap Errors"));
        QVERIFY(!box->isChecked());
        const QString data = Example("OnewayBoot-plant-growth.dat");
        const QString output = dir_.filePath(QStringLiteral("boot-out.dat"));
        Choose(w, "mnuOpenFile", data);
        Choose(w, "mnuOpenOut", output);
        RunAndWait(w);
        CompareWithDirect(w, Boot(false), data, 1000, output);

        // Ticked before the run: the errors are drawn; ticked off during it: that run still draws them.
        box->setChecked(true);
        SetSeeds(kSeeds);
        w->RunButton()->click();
        QVERIFY(w->Running());
        box->setChecked(false);
        QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), kRunTimeout);
        CompareWithDirect(w, Boot(true), data, 1000, output);
        QVERIFY(FileBytes(output) != QByteArray::fromStdString(ValueLines(Direct(Boot(false), data, 1000).resampled)));
        QVERIFY(messages_.isEmpty());
        Shot(w, "OnewayBoot-run");

        // Reopened, the box starts unticked again.
        w->findChild<QPushButton*>(QStringLiteral("cmdMainMenu"))->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        w = qobject_cast<OnewayBoot*>(Open("OnewayBoot"));
        QVERIFY(!w->ChkErrors()->isChecked());
    }

    // Shuffles that leave no spread within the groups show the note under the boxes and write inf.
    void degenerateShufflesShowTheirNote() {
        AnalysisWindow* w = Open("OnewayRandom");
        const QString data = dir_.filePath(QStringLiteral("pairs.dat"));
        QFile file(data);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("2\r\n2 2\r\n1 2\r\n2 1\r\n");
        file.close();
        const QString output = dir_.filePath(QStringLiteral("pairs-out.dat"));
        Choose(w, "mnuOpenFile", data);
        Choose(w, "mnuOpenOut", output);
        RunAndWait(w);
        CompareWithDirect(w, OnewayRandomProcedure, data, 1000, output);
        QVERIFY(w->NotesLabel()->isVisible());
        QVERIFY(FileBytes(output).contains(" inf \r\n"));
        Shot(w, "OnewayRandom-notes");
    }

    void refusedDataSaysWhyInOneMessage() {
        AnalysisWindow* w = Open("OnewayBoot");
        const QString bad = dir_.filePath(QStringLiteral("one-group.dat"));
        QFile file(bad);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("1\r\n3\r\n1 2 3\r\n");
        file.close();
        Choose(w, "mnuOpenFile", bad);
        w->RunButton()->click();
        QVERIFY(!w->Running());
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains(QStringLiteral("at least 2 groups")), qPrintable(messages_[0]));
        QVERIFY(Box(w, "txtObtF").isEmpty());
    }
};

BREVANT_QTEST(OnewayWindowsTest)
}  // namespace BREVANT_TEST_UNIT
#include "OnewayWindows_test.moc"
