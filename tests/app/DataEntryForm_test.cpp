// The data editor, driven through its controls and the dialog seams: loading, saving, the size limit, a
// failed save, and the question about unsaved text when the program quits.
#include "frame/Dialogs.h"
#include "frame/Shell.h"
#include "app/DataEntryForm.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "support/QtTests.h"
#include <csignal>
#include <memory>
#include <sys/resource.h>

namespace BREVANT_TEST_UNIT {

using brevant::app::DataEntryForm;
using brevant::frame::FileDialogKind;

namespace {

QByteArray ReadBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

}  // namespace

class DataEntryFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QStringList messages_;
    QStringList questions_;
    QList<int> answers_;          // answers to the Yes/No/Cancel question, in order
    QStringList dialogAnswers_;   // names the file dialog returns, in order ("" = cancelled)
    QList<QPair<FileDialogKind, QString>> dialogs_;

    DataEntryForm* editor() { return DataEntryForm::Shared(); }
    QPlainTextEdit* box() { return editor()->findChild<QPlainTextEdit*>(QStringLiteral("DataForm")); }
    QLabel* label() { return editor()->findChild<QLabel*>(QStringLiteral("lblFile")); }
    QString path(const QString& name) const { return dir_->filePath(name); }

    void trigger(const char* actionName) {
        auto* action = editor()->findChild<QAction*>(QString::fromLatin1(actionName));
        QVERIFY2(action != nullptr, actionName);
        action->trigger();
    }
    void loadThroughMenu(const QString& file) {
        dialogAnswers_ << file;
        trigger("mnuOpen");
    }
    void saveThroughMenu(const QString& file) {
        dialogAnswers_ << file;
        trigger("mnuSaveAsFile");
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        messages_.clear();
        questions_.clear();
        answers_.clear();
        dialogAnswers_.clear();
        dialogs_.clear();
        brevant::frame::SetMessageHook([this](const QString& text) { messages_ << text; });
        brevant::frame::SetQuestionHook([this](const QString& text) {
            questions_ << text;
            return answers_.isEmpty() ? int(QMessageBox::Cancel) : answers_.takeFirst();
        });
        brevant::frame::SetFileDialogHook([this](FileDialogKind kind, const QString& filter) {
            dialogs_.append({kind, filter});
            return dialogAnswers_.isEmpty() ? QString() : dialogAnswers_.takeFirst();
        });
    }
    void cleanup() {
        delete DataEntryForm::Existing();
        brevant::frame::SetMessageHook({});
        brevant::frame::SetQuestionHook({});
        brevant::frame::SetFileDialogHook({});
    }

    void controlsAndMenu() {
        QCOMPARE(editor()->windowTitle(), QStringLiteral("Form1"));
        QCOMPARE(editor()->objectName(), QStringLiteral("DataEntryForm"));
        QCOMPARE(DataEntryForm::Shared(), editor());  // one editor for the whole program

        const QString instructions = QStringLiteral(
            "Enter data in window below. \r\nNormally enter sample size(s) on first line. (With one-way \r\n"
            "procedure, first line would contain number of groups, and next \r\nline contains sample sizes.\r\n"
            "All data are separated by space or carriage return.\r\nThe save file with file menu.\r\n");
        QCOMPARE(DataEntryForm::InstructionText(), instructions);
        auto* txtInstruct = editor()->findChild<QPlainTextEdit*>(QStringLiteral("txtInstruct"));
        QVERIFY(txtInstruct != nullptr);
        QCOMPARE(txtInstruct->toPlainText(), QString(instructions).replace(QStringLiteral("\r\n"), "\n"));
        QVERIFY(txtInstruct->isReadOnly());

        QVERIFY(box() != nullptr);
        const QFontMetrics metrics(box()->font());  // columns of numbers line up
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiii")), metrics.horizontalAdvance(QStringLiteral("WW00")));
        QVERIFY(box()->isEnabled() && !box()->isReadOnly());  // a new file can be typed before any load
        QVERIFY(label() != nullptr);
        QCOMPARE(label()->text(), QString());
        auto* done = editor()->findChild<QPushButton*>(QStringLiteral("Done"));
        QVERIFY(done != nullptr);
        QCOMPARE(done->text(), QStringLiteral("Done"));

        const QList<QMenu*> menus = editor()->menuBar()->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(menus.size(), 1);
        QCOMPARE(menus[0]->objectName(), QStringLiteral("mnuFile"));
        QCOMPARE(menus[0]->title(), QStringLiteral("&File"));
        QStringList entries;
        for (QAction* a : menus[0]->actions()) entries << a->objectName() + "=" + a->text();
        QCOMPARE(entries, QStringList({"mnuNewFile=&New", "mnuOpen=&Open", "mnuSaveAsFile=Save &As",
                                       "mnuExit=Hide"}));
    }

    // Each line of the file followed by CR LF, whatever its line ends; a second load replaces the first.
    void loadsLineByLineAndReplaces() {
        WriteBytes(path("first.dat"), "2\r\n3\r\n1.5 2.5\r\n4 5 6\r\n");
        WriteBytes(path("second.dat"), "3\n7 8\r9");  // LF, a lone CR, and no ending on the last line
        loadThroughMenu(path("first.dat"));
        QCOMPARE(dialogs_.size(), 1);
        QCOMPARE(dialogs_[0].first, FileDialogKind::Open);
        QCOMPARE(dialogs_[0].second, QStringLiteral("Data files(*.dat)|*.dat"));
        QCOMPARE(box()->toPlainText(), QStringLiteral("2\n3\n1.5 2.5\n4 5 6\n"));
        QCOMPARE(label()->text(), QFileInfo(path("first.dat")).absoluteFilePath());

        dialogAnswers_ << path("second.dat");
        trigger("mnuNewFile");  // "&New" also asks for a file to load
        QCOMPARE(box()->toPlainText(), QStringLiteral("3\n7 8\n9\n"));
        QCOMPARE(label()->text(), QFileInfo(path("second.dat")).absoluteFilePath());
        QVERIFY(messages_.isEmpty());
        QVERIFY(questions_.isEmpty());  // nothing was typed, so nothing to ask about

        // Saved again unchanged: the lines with CR LF, and the one CR LF the save adds.
        saveThroughMenu(path("again.dat"));
        QCOMPARE(dialogs_.last().first, FileDialogKind::Save);
        QCOMPARE(dialogs_.last().second, QStringLiteral("Data file(*.dat)|*.dat"));
        QCOMPARE(ReadBytes(path("again.dat")), QByteArray("3\r\n7 8\r\n9\r\n\r\n"));
    }

    void emptyFileAndEmptyBox() {
        saveThroughMenu(path("blank.dat"));  // nothing loaded or typed
        QCOMPARE(ReadBytes(path("blank.dat")), QByteArray("\r\n"));

        box()->setPlainText(QStringLiteral("typed"));
        box()->document()->setModified(false);
        WriteBytes(path("empty.dat"), "");
        loadThroughMenu(path("empty.dat"));
        QCOMPARE(box()->toPlainText(), QString());
        QCOMPARE(label()->text(), QFileInfo(path("empty.dat")).absoluteFilePath());
        saveThroughMenu(path("empty-saved.dat"));
        QCOMPARE(ReadBytes(path("empty-saved.dat")), QByteArray("\r\n"));
    }

    void cancelledDialogsChangeNothing() {
        loadThroughMenu(path("missing-but-cancelled"));
        QVERIFY(!messages_.isEmpty());  // a name that does not exist is reported...
        messages_.clear();
        box()->setPlainText(QStringLiteral("kept"));
        loadThroughMenu(QString());  // ...a cancelled dialog is not
        saveThroughMenu(QString());
        QCOMPARE(box()->toPlainText(), QStringLiteral("kept"));
        QCOMPARE(label()->text(), QString());
        QVERIFY(messages_.isEmpty());
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList());
    }

    // Refused files leave the box and the label as they were, with a message saying why.
    void refusedFilesKeepBoxAndLabel() {
        WriteBytes(path("good.dat"), "1\r\n42\r\n");
        loadThroughMenu(path("good.dat"));
        const QString boxBefore = box()->toPlainText();
        const QString labelBefore = label()->text();

        QFile big(path("big.dat"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(DataEntryForm::kMaxFileBytes + 1));
        big.close();
        loadThroughMenu(path("big.dat"));
        QCOMPARE(messages_, QStringList{QStringLiteral("The file is too large for this editor.")});

        // Exactly at the limit: lines of "12345.678 " ending in CR LF.
        const QByteArray line = QByteArray("12345.678 ").repeated(7) + "\r\n";
        const qint64 lines = DataEntryForm::kMaxFileBytes / line.size();
        const QByteArray atLimit =
            line.repeated(lines) + QByteArray(DataEntryForm::kMaxFileBytes - lines * line.size(), '8');
        WriteBytes(path("limit.dat"), atLimit);
        WriteBytes(path("binary.dat"), QByteArray("12\0\1\2", 5));
        loadThroughMenu(path("binary.dat"));
        loadThroughMenu(path("no-such-file.dat"));
        loadThroughMenu(dir_->path());  // a folder
        QCOMPARE(messages_.size(), 4);
        QVERIFY(messages_[1].contains(QStringLiteral("binary.dat")));
        QVERIFY(messages_[2].contains(QStringLiteral("no-such-file.dat")));
        QVERIFY(messages_[3].contains(QStringLiteral("folder")));
        QCOMPARE(box()->toPlainText(), boxBefore);
        QCOMPARE(label()->text(), labelBefore);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);  // the busy pointer is restored

        loadThroughMenu(path("limit.dat"));  // exactly at the limit still loads
        QCOMPARE(messages_.size(), 4);
        QCOMPARE(box()->blockCount(), int(lines) + 2);  // the last, unended line gains its CR LF
    }

    // Save As with a name typed without a suffix saves a .dat file, as the data filter promises; a name
    // with a suffix of its own keeps it. The label then names the file saved.
    void saveAsAddsTheDataSuffix() {
        box()->setPlainText(QStringLiteral("3\n1 2 3"));
        saveThroughMenu(path("scores"));
        QCOMPARE(dialogs_.last().first, FileDialogKind::Save);
        QCOMPARE(ReadBytes(path("scores.dat")), QByteArray("3\r\n1 2 3\r\n"));
        QVERIFY(!QFileInfo::exists(path("scores")));
        QCOMPARE(label()->text(), QFileInfo(path("scores.dat")).absoluteFilePath());
        saveThroughMenu(path("scores.txt"));
        QVERIFY(QFileInfo::exists(path("scores.txt")));
        QCOMPARE(label()->text(), QFileInfo(path("scores.txt")).absoluteFilePath());
        QVERIFY(!QFileInfo::exists(path("scores.txt.dat")));
        QVERIFY(messages_.isEmpty());
    }

    // A save that fails says so, and the file that was there keeps its old contents.
    void failedSaveKeepsOldFile() {
        WriteBytes(path("old.dat"), "old contents\r\n");
        box()->setPlainText(QString(64 * 1024, QLatin1Char('9')));
        box()->document()->setModified(true);

        // Limit the size of files this process may write, so the new text cannot be written in full.
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        saveThroughMenu(path("old.dat"));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(QStringLiteral("could not be saved")));
        QCOMPARE(ReadBytes(path("old.dat")), QByteArray("old contents\r\n"));
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList{QStringLiteral("old.dat")});
        QVERIFY(editor()->HasUnsavedChanges());

        saveThroughMenu(path("no-such-folder/new.dat"));
        QCOMPARE(messages_.size(), 2);
    }

    void changesAreTrackedAndAskedAboutBeforeALoad() {
        WriteBytes(path("a.dat"), "1\r\n5\r\n");
        WriteBytes(path("b.dat"), "1\r\n6\r\n");
        loadThroughMenu(path("a.dat"));
        QVERIFY(!editor()->HasUnsavedChanges());
        editor()->show();
        box()->moveCursor(QTextCursor::End);
        QTest::keyClicks(box(), "7");
        QVERIFY(editor()->HasUnsavedChanges());

        answers_ << QMessageBox::Cancel;
        loadThroughMenu(path("b.dat"));
        QCOMPARE(questions_.size(), 1);
        QCOMPARE(box()->toPlainText(), QStringLiteral("1\n5\n7"));
        QCOMPARE(label()->text(), QFileInfo(path("a.dat")).absoluteFilePath());

        answers_ << QMessageBox::Yes;
        dialogAnswers_ << path("b.dat") << path("typed.dat");  // the file to load, then where to save
        trigger("mnuOpen");
        QCOMPARE(ReadBytes(path("typed.dat")), QByteArray("1\r\n5\r\n7\r\n"));
        QCOMPARE(box()->toPlainText(), QStringLiteral("1\n6\n"));
        QVERIFY(!editor()->HasUnsavedChanges());

        // Saved over the very file being loaded: the box shows the file as just saved.
        box()->moveCursor(QTextCursor::End);
        QTest::keyClicks(box(), "9");
        answers_ << QMessageBox::Yes;
        dialogAnswers_ << path("b.dat") << path("b.dat");
        trigger("mnuOpen");
        QCOMPARE(box()->toPlainText(), QStringLiteral("1\n6\n9\n"));
        QVERIFY(!editor()->HasUnsavedChanges());

        QTest::keyClicks(box(), "8");
        answers_ << QMessageBox::No;
        loadThroughMenu(path("a.dat"));
        QCOMPARE(box()->toPlainText(), QStringLiteral("1\n5\n"));
        QCOMPARE(questions_.size(), 4);
    }

    void doneAndHideOnlyHide() {
        box()->setPlainText(QStringLiteral("10 20"));
        DataEntryForm::ShowShared();
        QVERIFY(editor()->isVisible());
        editor()->findChild<QPushButton*>(QStringLiteral("Done"))->click();
        QVERIFY(!editor()->isVisible());
        DataEntryForm::ShowShared();
        trigger("mnuExit");
        QVERIFY(!editor()->isVisible());
        QVERIFY(DataEntryForm::Existing() != nullptr);
        QCOMPARE(box()->toPlainText(), QStringLiteral("10 20"));
        editor()->close();  // closing it outside a quit hides it too, without a question
        QVERIFY(DataEntryForm::Existing() != nullptr);
        QVERIFY(questions_.isEmpty());
    }

    // A quit unloads the editor; with unsaved text it asks first: Yes saves, No discards, Cancel stops.
    void quitAsksAboutUnsavedText() {
        auto typeSomething = [this] {
            box()->setPlainText(QStringLiteral("4\r\n1 2 3 4"));
            box()->document()->setModified(true);
        };
        QPointer<DataEntryForm> form = editor();
        typeSomething();
        answers_ << QMessageBox::Cancel;
        brevant::frame::QuitAll();
        QVERIFY(!form.isNull());
        QVERIFY(!brevant::frame::Quitting());
        QCOMPARE(questions_.size(), 1);

        answers_ << QMessageBox::Yes;
        dialogAnswers_ << QString();  // Yes, then the save dialog cancelled: the quit stops
        brevant::frame::QuitAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!form.isNull());

        answers_ << QMessageBox::Yes;
        dialogAnswers_ << path("quit-no-folder/x.dat");  // Yes, but the save fails: the quit stops
        brevant::frame::QuitAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!form.isNull());
        QCOMPARE(messages_.size(), 1);

        answers_ << QMessageBox::Yes;
        dialogAnswers_ << path("at-quit.dat");
        brevant::frame::QuitAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());
        QCOMPARE(ReadBytes(path("at-quit.dat")), QByteArray("4\r\n1 2 3 4\r\n"));

        form = editor();
        typeSomething();
        answers_ << QMessageBox::No;
        brevant::frame::QuitAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());
        QCOMPARE(questions_.size(), 5);

        form = editor();  // nothing changed since the last load: no question
        brevant::frame::QuitAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(form.isNull());
        QCOMPARE(questions_.size(), 5);
    }

    void grabForALook() {
        WriteBytes(path("look.dat"), "3\r\n6 7 6\r\n72 68 75 80 71 77\r\n81 85 79 88 83 90 84\r\n70 66 74 69 72 65\r\n");
        loadThroughMenu(path("look.dat"));
        DataEntryForm::ShowShared();
        QVERIFY(QTest::qWaitForWindowExposed(editor()));
        const QImage image = editor()->grab().toImage();
        QVERIFY(!image.isNull());
        if (qEnvironmentVariableIsSet("BREVANT_GRAB_DIR")) {
            image.save(qEnvironmentVariable("BREVANT_GRAB_DIR") + QStringLiteral("/DataEntryForm.png"));
        }
    }
};

BREVANT_QTEST(DataEntryFormTest)
}  // namespace BREVANT_TEST_UNIT
#include "DataEntryForm_test.moc"
