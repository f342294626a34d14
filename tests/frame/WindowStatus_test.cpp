// What a window says about its work, driven through real windows by control names: the output-file choice
// that asks before giving up an existing file, the file dialogs' titles and room, the status line with the
// files and the run (whose seeds repeat it), the mark over results a failed run left, Copy Results, and the
// Monte Carlo error notes.
#include "analysis/MonteCarloError.h"
#include "analysis/bootstrap/BootstMean.h"
#include "windows/RegisterWindows.h"
#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/RunDriver.h"
#include "frame/Shell.h"
#include "analysis/randomization/IndepT.h"
#include "support/WindowRuns.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/QtTests.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;

namespace {

using brevant::testing::FileBytes;
using brevant::testing::FlushDeletes;
using brevant::testing::RunDirect;
using brevant::testing::WriteText;

constexpr Seeds kSeeds{1234, 5678, 9012};
constexpr int kRunTimeout = 60000;

// With BREVANT_FRAME_SHOTS set, a picture of the window, to look at: at its own size, and large.
void Shot(QWidget* w, const char* name) {
    const QString shots = qEnvironmentVariable("BREVANT_FRAME_SHOTS");
    if (shots.isEmpty()) return;
    QDir().mkpath(shots);
    w->grab().save(shots + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    const QSize own = w->size();
    w->resize(1600, 1000);
    w->grab().save(shots + QLatin1Char('/') + QLatin1String(name) + QStringLiteral("-large.png"));
    w->resize(own);
}

QString Label(QWidget* w, const char* name) {
    auto* label = w->findChild<QLabel*>(QLatin1String(name));
    return label == nullptr ? QStringLiteral("<no label %1>").arg(QLatin1String(name)) : label->text();
}

// What the next real file dialog showed, answered by typing a name (or cancelled when none).
struct DialogSeen {
    QString title;
    QSize size;
    bool detail = false;
    QString folder;
};
void AnswerNextFileDialog(DialogSeen* seen, const QString& typed) {
    QTimer::singleShot(0, [seen, typed] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;  // the caller's QVERIFY on the title catches it
        seen->title = dialog->windowTitle();
        seen->size = dialog->size();
        seen->detail = dialog->viewMode() == QFileDialog::Detail;
        seen->folder = dialog->directory().absolutePath();
        if (const QString shots = qEnvironmentVariable("BREVANT_FRAME_SHOTS"); !shots.isEmpty()) {
            QDir().mkpath(shots);
            dialog->grab().save(shots + QStringLiteral("/dialog-") + dialog->windowTitle() + QStringLiteral(".png"));
        }
        if (typed.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->selectFile(typed);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

}  // namespace

class WindowStatusTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList messages_;
    QStringList questions_;
    QList<int> questionAnswers_;
    QStringList answers_;  // the next file dialogs' answers
    QString groups_;

    QString Temp(const char* name) const { return dir_.filePath(QLatin1String(name)); }

    static AnalysisWindow* Open(const char* name) {
        return qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(QLatin1String(name)));
    }
    void Trigger(AnalysisWindow* w, const char* entry) {
        QAction* action = w->findChild<QAction*>(QLatin1String(entry));
        QVERIFY2(action != nullptr, entry);
        action->trigger();
    }
    void Choose(AnalysisWindow* w, const char* entry, const QString& file) {
        answers_ << file;
        Trigger(w, entry);
    }
    static void RunAndWait(AnalysisWindow* w) {
        w->RunButton()->click();
        QVERIFY(w->Running());
        QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), kRunTimeout);
    }
    static QString Box(AnalysisWindow* w, const char* name) {
        auto* box = w->findChild<QLineEdit*>(QLatin1String(name));
        return box == nullptr ? QStringLiteral("<no box>") : box->text();
    }
    // The IndepT procedure called directly from these seeds, on this thread.
    static RunResult DirectIndepT(const QString& data, Seeds seeds, std::int32_t resamples) {
        return RunDirect(IndepTProcedure, seeds, data, resamples);
    }

private slots:
    void initTestCase() {
        QStandardPaths::setTestModeEnabled(true);  // the real dialogs below remember their folder there
        frame::RegisterWindowClasses();
        QVERIFY(dir_.isValid());
        groups_ = Temp("groups.dat");
        WriteText(groups_, "5 7\r\n12.5 14.1 9.75 11 13.2\r\n15.5 16.1 12.8 17 14.4 18.9 13.3\r\n");
        SetMessageHook([this](const QString& text) { messages_ << text; });
        SetQuestionHook([this](const QString& text) {
            questions_ << text;
            return questionAnswers_.isEmpty() ? int(QMessageBox::No) : questionAnswers_.takeFirst();
        });
        SetFileDialogHook([this](FileDialogKind, const QString&) {
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        });
    }

    void init() {
        messages_.clear();
        questions_.clear();
        questionAnswers_.clear();
        answers_.clear();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void cleanup() {
        for (int i = LoadedWindowCount() - 1; i >= 0; --i)
            if (QWidget* w = LoadedWindow(i)) w->close();
        FlushDeletes();
        QVERIFY(!TheRunGate().Busy());
        StoredValuesOf(QStringLiteral("IndepT")) = {};
        StoredValuesOf(QStringLiteral("BootstMean")) = {};
        StoredValuesOf(QStringLiteral("OnewayBoot")) = {};
        QLocale::setDefault(QLocale::c());
    }

    // Picking an existing file as output asks first; No keeps the earlier choice, Yes takes the new one; a
    // name that does not exist yet is taken without a question.
    void anExistingOutputFileIsTakenOnlyAfterYes() {
        AnalysisWindow* w = Open("IndepT");
        const QString fresh = Temp("fresh-out.dat");
        QFile::remove(fresh);
        Choose(w, "mnuOpenOut", fresh);
        QVERIFY(questions_.isEmpty());
        QCOMPARE(w->Stored().outputFile, fresh);
        QCOMPARE(Label(w, "lblOutputFile"), QStringLiteral("Output file: fresh-out.dat"));

        const QString precious = Temp("precious.dat");
        WriteText(precious, "1 2 3\r\n");
        questionAnswers_ << int(QMessageBox::No);
        Choose(w, "mnuOpenOut", precious);
        QCOMPARE(questions_.size(), 1);
        QCOMPARE(questions_.first(), QDir::toNativeSeparators(precious) +
                                         QStringLiteral(" exists. Each run will replace its contents with the "
                                                        "resampled values. Use it as the output file?"));
        QCOMPARE(w->Stored().outputFile, fresh);  // No: the earlier choice stays
        QCOMPARE(Label(w, "lblOutputFile"), QStringLiteral("Output file: fresh-out.dat"));

        questionAnswers_ << int(QMessageBox::Yes);
        Choose(w, "mnuOpenOut", precious);
        QCOMPARE(questions_.size(), 2);
        QCOMPARE(w->Stored().outputFile, precious);
        QCOMPARE(Label(w, "lblOutputFile"), QStringLiteral("Output file: precious.dat"));

        // The run then does what was agreed to: the file holds the resampled values, and Copy Results names it.
        Choose(w, "mnuOpenfile", groups_);
        SetSeeds(kSeeds);
        RunAndWait(w);
        QCOMPARE(FileBytes(precious).count("\r\n"), 1000);
        QVERIFY(w->ResultsTable().contains(QStringLiteral("\nOutput file\t") + QDir::toNativeSeparators(precious)));
    }

    // A window that never writes its output file asks nothing and says so on the status line.
    void aWindowWithoutOutputAsksNothing() {
        AnalysisWindow* w = Open("Corr1");
        const QString existing = Temp("kept-as-is.dat");
        WriteText(existing, "1\r\n");
        Choose(w, "mnuOpenOut", existing);
        QVERIFY(questions_.isEmpty());
        QCOMPARE(w->Stored().outputFile, existing);
        QCOMPARE(Label(w, "lblOutputFile"), QStringLiteral("Output file: kept-as-is.dat (not written by this window)"));
        StoredValuesOf(QStringLiteral("Corr1")) = {};
    }

    // Real dialogs: titled by purpose, given room, in the detail view; the editor's Save As adds ".dat".
    void fileDialogsAreTitledAndRoomy() {
        SetFileDialogHook({});
        AnalysisWindow* w = Open("IndepT");
        DialogSeen data, output;
        AnswerNextFileDialog(&data, {});
        Trigger(w, "mnuOpenfile");
        QCOMPARE(data.title, kOpenDataFileTitle);
        QVERIFY(data.detail);
        const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
        QVERIFY2(data.size.width() >= std::min(960, screen.width() * 9 / 10),
                 qPrintable(QString::number(data.size.width())));
        QVERIFY(data.size.height() >= std::min(600, screen.height() * 9 / 10));
        AnswerNextFileDialog(&output, {});
        Trigger(w, "mnuOpenOut");
        QCOMPARE(output.title, kChooseOutputFileTitle);
        QVERIFY(w->Stored().outputFile.isEmpty());  // cancelled: nothing chosen

        DialogSeen save;
        AnswerNextFileDialog(&save, Temp("typed-name"));
        const QString saved =
            ShowFileDialog(w, {FileDialogKind::Save, kSaveDataFileTitle, QStringLiteral("Data file(*.dat)|*.dat"), true});
        QCOMPARE(save.title, kSaveDataFileTitle);
        QCOMPARE(saved, Temp("typed-name.dat"));
        DialogSeen other;
        AnswerNextFileDialog(&other, Temp("notes.txt"));
        QCOMPARE(ShowFileDialog(w, {FileDialogKind::Save, kSaveDataFileTitle, QStringLiteral("Data file(*.dat)|*.dat"),
                                    true}),
                 Temp("notes.txt"));  // a name with a suffix keeps it
        SetFileDialogHook([this](FileDialogKind, const QString&) {
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        });
    }

    // Every dialog opens where the last file was chosen, in this session and the next (QSettings); before
    // any choice, an open dialog in the examples and a save dialog elsewhere. The output chooser adds ".dat".
    void fileDialogsOpenInTheLastFolder() {
        SetFileDialogHook({});
        QSettings().remove(kLastFolderKey);
        QCOMPARE(StartFolder(FileDialogKind::Open), ExamplesFolder());
        QVERIFY(StartFolder(FileDialogKind::Save) != ExamplesFolder());
        QVERIFY(QDir().mkpath(Temp("chosen")));
        const QString folder = QFileInfo(Temp("chosen")).absoluteFilePath();
        AnalysisWindow* w = Open("OnewayBoot");
        DialogSeen output, cancelled;
        AnswerNextFileDialog(&output, folder + QStringLiteral("/out"));
        Trigger(w, "mnuOpenOut");
        QCOMPARE(output.folder, ExamplesFolder());
        QCOMPARE(w->Stored().outputFile, folder + QStringLiteral("/out.dat"));
        QCOMPARE(QSettings().value(kLastFolderKey).toString(), folder);
        AnswerNextFileDialog(&cancelled, {});  // cancelled: the folder stays
        ShowFileDialog(w, {FileDialogKind::Save, kSaveHistogramTitle, QStringLiteral("PNG(*.png)|*.png")});
        QCOMPARE(cancelled.folder, folder);
        QCOMPARE(StartFolder(FileDialogKind::Open), folder);
        SetFileDialogHook([this](FileDialogKind, const QString&) {
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        });
    }

    void suffixRules() {
        QCOMPARE(FilterSuffix(QStringLiteral("*.dat")), QStringLiteral("dat"));
        QCOMPARE(FilterSuffix(QStringLiteral("*.*")), QString());
        QCOMPARE(FilterSuffix(QStringLiteral("*.png;*.svg")), QString());
        QCOMPARE(WithSuffix(QStringLiteral("/t/a"), QStringLiteral("dat")), QStringLiteral("/t/a.dat"));
        QCOMPARE(WithSuffix(QStringLiteral("/t/a."), QStringLiteral("dat")), QStringLiteral("/t/a.dat"));
        QCOMPARE(WithSuffix(QStringLiteral("/t/a.txt"), QStringLiteral("dat")), QStringLiteral("/t/a.txt"));
        QCOMPARE(WithSuffix(QStringLiteral("/t.d/a"), QStringLiteral("dat")), QStringLiteral("/t.d/a.dat"));
        QCOMPARE(WithSuffix(QString(), QStringLiteral("dat")), QString());  // cancelled stays cancelled
    }

    // The status line names the files (full path as tooltip) and, after a run, the run; the seeds shown are
    // the ones that repeat it: the procedure called from them gives the same boxes.
    void theStatusLineTellsTheFilesAndTheSeedsThatRepeatTheRun() {
        AnalysisWindow* w = Open("IndepT");
        QVERIFY(Label(w, "lblDataFile").startsWith(QStringLiteral("No data file yet: a file of nA, nB")));
        QCOMPARE(Label(w, "lblOutputFile"), QStringLiteral("Output file: none"));
        QCOMPARE(Label(w, "lblRunInfo"), QString());
        Choose(w, "mnuOpenfile", groups_);
        QCOMPARE(Label(w, "lblDataFile"), QStringLiteral("Data file: groups.dat"));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblDataFile"))->toolTip(), QDir::toNativeSeparators(groups_));

        SetSeeds(kSeeds);
        RunAndWait(w);
        QVERIFY(w->ShownRun().has_value());
        QCOMPARE(w->ShownRun()->seeds, kSeeds);
        QCOMPARE(Label(w, "lblRunInfo"),
                 QStringLiteral("Last run \u00B7 1,000 resamples \u00B7 seeds 1234,5678,9012"));
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("lblRunInfo"))->toolTip().endsWith(
            QStringLiteral("brevant-cli IndepT \"") + QDir::toNativeSeparators(groups_) +
            QStringLiteral("\" --resamples 1000 --seed 1234,5678,9012")));

        // Another data file chosen: the run on show names its own; a long name is shortened, not widening
        // the window.
        const int width = w->sizeHint().width();
        const QString longName = Temp("") + QString(150, QLatin1Char('x')) + QStringLiteral(".dat");
        QFile::copy(groups_, longName);
        Choose(w, "mnuOpenfile", longName);
        QVERIFY(Label(w, "lblRunInfo").startsWith(QStringLiteral("Last run on groups.dat \u00B7 1,000 resamples")));
        QVERIFY(Label(w, "lblDataFile").contains(QChar(0x2026)));  // the ellipsis of a name cut in the middle
        QVERIFY(Label(w, "lblDataFile").endsWith(QStringLiteral("x.dat")));
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblDataFile"))->toolTip(), QDir::toNativeSeparators(longName));
        QVERIFY2(w->sizeHint().width() <= width + 10, qPrintable(QString::number(w->sizeHint().width())));
        Choose(w, "mnuOpenfile", groups_);
        QVERIFY(Label(w, "lblRunInfo").startsWith(QStringLiteral("Last run \u00B7")));

        // A second run starts where the first left the generator; its shown seeds repeat it exactly.
        w->CountButton(1)->click();
        RunAndWait(w);
        const Seeds second = w->ShownRun()->seeds;
        QVERIFY(second != kSeeds);
        QCOMPARE(w->ShownRun()->resamples, 2000);
        const Seeds afterWindow = GetSeeds();
        const RunResult direct = DirectIndepT(groups_, second, 2000);
        QCOMPARE(GetSeeds(), afterWindow);
        for (const ResultBox& box : direct.boxes)
            QCOMPARE(Box(w, box.control.c_str()), ResultBoxText(box));
    }

    // A bootstrap window names its level too.
    void theLevelIsToldWhereThereIsOne() {
        AnalysisWindow* w = Open("BootstMean");
        Choose(w, "mnuOpenFile", QStringLiteral(BREVANT_SOURCE_DIR "/help/examples/BootstMean-daily-screen-hours.dat"));
        w->ConfidenceButton(2)->click();
        SetSeeds(kSeeds);
        RunAndWait(w);
        QVERIFY(messages_.isEmpty());
        QCOMPARE(w->ShownRun()->level, QStringLiteral("99 %"));
        QVERIFY(Label(w, "lblRunInfo").contains(QStringLiteral("\u00B7 99 % \u00B7 seeds 1234,5678,9012")));
        QVERIFY(w->ResultsTable().contains(QStringLiteral("\nLevel\t99 %\n")));
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("lblRunInfo"))->toolTip().endsWith(
            QStringLiteral(" --resamples 1000 --confidence 99 --seed 1234,5678,9012")));
        // No proportion among its boxes: no Monte Carlo note.
        QVERIFY(!w->NotesLabel()->text().contains(QStringLiteral("Monte Carlo")));
        Shot(w, "BootstMean-run");
    }

    // A window's own choice goes into the command that repeats the run.
    void theRepeatCommandCarriesTheWindowsChoices() {
        AnalysisWindow* w = Open("OnewayBoot");
        Choose(w, "mnuOpenFile", QStringLiteral(BREVANT_SOURCE_DIR "/help/examples/OnewayBoot-plant-growth.dat"));
        auto* errors = w->findChild<QCheckBox*>(QStringLiteral("ChkErrors"));
        QVERIFY(errors != nullptr);
        errors->setChecked(true);
        SetSeeds(kSeeds);
        RunAndWait(w);
        QVERIFY2(messages_.isEmpty(), qPrintable(messages_.join(QLatin1Char('\n'))));
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("lblRunInfo"))->toolTip().endsWith(
            QStringLiteral(" --resamples 1000 --errors --seed 1234,5678,9012")));
        errors->setChecked(false);  // read as the run starts: the run on show keeps its choice
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("lblRunInfo"))->toolTip().contains(QStringLiteral("--errors")));
        QVERIFY(Label(w, "lblRunInfo").startsWith(QStringLiteral("Last run \u00B7 1,000 resamples")));
        QVERIFY(w->NotesLabel()->text().contains(QStringLiteral("Percent => Fobt ")));
        QVERIFY(w->ResultsTable().contains(QStringLiteral("\nBootstrap Errors\tyes\n")));
    }

    // A run refused on its data leaves the last results marked as the earlier run's; a good run clears the
    // mark. With nothing on show there is nothing to mark.
    void aFailedRunMarksTheResultsLeftOnShow() {
        AnalysisWindow* w = Open("IndepT");
        const QString flat = Temp("flat.dat");
        WriteText(flat, "3 3 2 2 2 2 2 2\r\n");
        Choose(w, "mnuOpenfile", flat);
        w->RunButton()->click();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(!w->ResultsStale());
        QVERIFY(!w->findChild<QLabel*>(QStringLiteral("lblStale"))->isVisible());
        QVERIFY(!w->CopyResultsAction()->isEnabled());

        Choose(w, "mnuOpenfile", groups_);
        SetSeeds(kSeeds);
        RunAndWait(w);
        const QString before = Box(w, "txtObtT");
        QVERIFY(!before.isEmpty());

        Choose(w, "mnuOpenfile", flat);
        w->RunButton()->click();
        QCOMPARE(messages_.size(), 2);
        QVERIFY(messages_.last().contains(QStringLiteral("flat.dat")));
        QVERIFY(w->ResultsStale());
        QVERIFY(w->findChild<QLabel*>(QStringLiteral("lblStale"))->isVisible());
        QCOMPARE(Box(w, "txtObtT"), before);
        QVERIFY(Label(w, "lblRunInfo").startsWith(QStringLiteral("Earlier run on groups.dat \u00B7 1,000 resamples")));
        Shot(w, "IndepT-stale");
        QCOMPARE(Label(w, "lblDataFile"), QStringLiteral("Data file: flat.dat"));
        QVERIFY(w->ResultsTable().contains(QStringLiteral("Note\tThe results shown are those of the earlier run")));
        QVERIFY(w->ResultsTable().contains(QStringLiteral("Data file\t") + QDir::toNativeSeparators(groups_)));

        // An output file that would replace the data marks them too.
        Choose(w, "mnuOpenfile", groups_);
        RunAndWait(w);
        QVERIFY(!w->ResultsStale());
        QVERIFY(!w->findChild<QLabel*>(QStringLiteral("lblStale"))->isVisible());
        questionAnswers_ << int(QMessageBox::Yes);
        Choose(w, "mnuOpenOut", groups_);
        w->RunButton()->click();
        QVERIFY(!w->Running());
        QVERIFY(w->ResultsStale());
        QCOMPARE(FileBytes(groups_), QByteArray("5 7\r\n12.5 14.1 9.75 11 13.2\r\n15.5 16.1 12.8 17 14.4 18.9 13.3\r\n"));
    }

    // Copy Results: the Edit menu's entry, Ctrl+C and the boxes' context menu put one tab-separated table
    // on the clipboard, headed by the run and holding each label with its boxes' texts as shown.
    void copyResultsGivesATableForASpreadsheet() {
        AnalysisWindow* w = Open("IndepT");
        QMenu* edit = w->findChild<QMenu*>(QStringLiteral("mnuEdit"));
        QVERIFY(edit != nullptr);
        // Second on the menu bar, after File, ahead of the window's other menus.
        QCOMPARE(w->menuBar()->actions().at(1), edit->menuAction());
        QCOMPARE(w->menuBar()->actions().at(0)->objectName(), QStringLiteral("mnuFile"));
        QCOMPARE(edit->title(), QStringLiteral("&Edit"));
        QVERIFY(edit->actions().contains(w->CopyResultsAction()));
        QCOMPARE(w->CopyResultsAction()->shortcut(), QKeySequence(QKeySequence::Copy));
        QVERIFY(!w->CopyResultsAction()->isEnabled());
        QCOMPARE(w->ResultsTable(), QString());

        Choose(w, "mnuOpenfile", groups_);
        SetSeeds(kSeeds);
        RunAndWait(w);
        QVERIFY(w->CopyResultsAction()->isEnabled());
        QGuiApplication::clipboard()->clear();
        Trigger(w, "mnuCopyResults");
        const QString table = QGuiApplication::clipboard()->text();
        const QStringList rows = table.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QVERIFY(rows.size() >= 10);
        QCOMPARE(rows[0], QStringLiteral("Procedure\tIndependent Groups t\tIndepT"));
        QCOMPARE(rows[1], QStringLiteral("Data file\t") + QDir::toNativeSeparators(groups_));
        QCOMPARE(rows[2], QStringLiteral("Output file\tnone"));
        QCOMPARE(rows[3], QStringLiteral("Resamples\t1000"));
        QCOMPARE(rows[4], QStringLiteral("Seeds\t1234\t5678\t9012"));
        QCOMPARE(rows[5], QStringLiteral("Obtained t\t") + Box(w, "txtObtT"));
        QCOMPARE(rows[6], QStringLiteral("% < - t   | % >  +t\t") + Box(w, "txtNumLess") + QLatin1Char('\t') +
                              Box(w, "txtNumGreater"));
        QCOMPARE(rows[7], QStringLiteral("p more extreme\t") + Box(w, "txtProbMore"));
        QCOMPARE(rows[8], QStringLiteral("Effect size\t") + Box(w, "txtEffectSize"));
        QVERIFY(rows[9].startsWith(QStringLiteral("Note\tMonte Carlo standard error")));
        // Five and seven values split 792 ways, few enough to count them all: the exact p comes along.
        QVERIFY2(table.contains(QStringLiteral("\nNote\tExact p over all 792 splits: % < - t ")), qPrintable(table));
        for (const QString& row : rows) QVERIFY2(!row.contains(QLatin1Char('\r')), qPrintable(row));

        // Ctrl+C in a box with nothing selected copies the results; with a selection, the selection.
        QLineEdit* t = w->findChild<QLineEdit*>(QStringLiteral("txtObtT"));
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w));
        t->setFocus();
        t->deselect();
        QGuiApplication::clipboard()->clear();
        QTest::keySequence(t, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), table);
        t->selectAll();
        QTest::keySequence(t, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), t->text());

        // The box's context menu offers the same entry beside its own.
        QCOMPARE(t->contextMenuPolicy(), Qt::CustomContextMenu);
        emit t->customContextMenuRequested(QPoint(2, 2));
        QMenu* menu = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* m = qobject_cast<QMenu*>(top); m != nullptr && m->isVisible()) menu = m;
        QVERIFY(menu != nullptr);
        QVERIFY(menu->actions().contains(w->CopyResultsAction()));
        QVERIFY(menu->actions().size() > 2);  // the box's own Copy and Select All stay
        menu->close();
        auto* area = w->findChild<QWidget*>(QStringLiteral("ResultArea"));
        QCOMPARE(area->contextMenuPolicy(), Qt::ActionsContextMenu);
        QVERIFY(area->actions().contains(w->CopyResultsAction()));
    }

    // The Monte Carlo notes follow the procedure's own, the same sentences the batch tool prints.
    void theNotesGiveTheMonteCarloErrors() {
        AnalysisWindow* w = Open("IndepT");
        Choose(w, "mnuOpenfile", groups_);
        SetSeeds(kSeeds);
        RunAndWait(w);
        RunResult direct = DirectIndepT(groups_, kSeeds, 1000);
        AddMonteCarloNotes(direct, 1000, w->Row().fifthCount);
        QStringList notes;
        for (const std::string& note : direct.notes) notes << QString::fromStdString(note);
        QCOMPARE(w->NotesLabel()->text(), notes.join(QLatin1Char('\n')));
        QVERIFY(w->NotesLabel()->text().contains(QStringLiteral("Monte Carlo standard error")));
        QVERIFY(w->NotesLabel()->isVisible());
        Shot(w, "IndepT-run");
    }
};

BREVANT_QTEST(WindowStatusTest)
}  // namespace BREVANT_TEST_UNIT
#include "WindowStatus_test.moc"
