// A block of spreadsheet columns pasted into the data editor: it is never pasted silently to be read row by
// row. Laid out for an analysis it gives that analysis's counts-first text (so IndepT's t is the t of the two
// pasted columns as groups), saved it is a table that opens in its preview, pasted as plain text it stays as
// it was, and cancelled nothing changes.
#include "app/TablePaste.h"
#include "analysis/catalogue/ProcedureCatalogue.h"
#include "app/DataEntryForm.h"
#include "frame/ChoiceDialog.h"
#include "frame/ColumnChooser.h"
#include "frame/Dialogs.h"
#include "frame/Shell.h"
#include "frame/TablePreview.h"
#include "frame/WindowTable.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/QtTests.h"

namespace BREVANT_TEST_UNIT {

using namespace brevant;

namespace {

// Two groups of different sizes, as a spreadsheet copies them: tabs, CR LF, an empty cell under the shorter.
const QString kBlock = QStringLiteral("4.1\t5.0\r\n3.9\t5.5\r\n4.4\t6.2\r\n4.0\t\r\n");

enum Answer { kSave, kLayOut, kPlain, kCancel };

struct PasteCase {
    const char* what;
    QString block;
    int answer;         // to the question; -1: no question may be asked
    QString text;       // the editor's text afterwards
    bool previewShown;  // a table was saved and its preview opened
};

}  // namespace

class TablePasteTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList messages_;

private slots:
    void init() {
        messages_.clear();
        frame::SetMessageHook([this](const QString& text) { messages_ << text; });
        frame::SetFileDialogHook(
            [this](frame::FileDialogKind, const QString&) { return dir_.filePath(QStringLiteral("pasted")); });
        frame::SetColumnChooserHook([](frame::ColumnChooser&) { return true; });  // the preselection
    }
    void cleanup() {
        while (frame::LoadedWindowCount() > 0) delete frame::LoadedWindow(0);
        frame::SetChoiceHook({});
        frame::SetColumnChooserHook({});
    }

    void pasteAsks() {
        const PasteCase cases[] = {
            {"laid out for IndepT", kBlock, kLayOut, QStringLiteral("4 3\n4.1 3.9 4.4 4.0\n5.0 5.5 6.2\n"), false},
            {"with a header", QStringLiteral("fast\tslow\n") + kBlock, kLayOut,
             QStringLiteral("4 3\n4.1 3.9 4.4 4.0\n5.0 5.5 6.2\n"), false},
            {"saved as a table", kBlock, kSave, QString(), true},
            {"as plain text", kBlock, kPlain, QString(kBlock).remove(u'\r'), false},
            {"cancelled", kBlock, kCancel, QString(), false},
            {"no tabs", QStringLiteral("2\n1 2\n"), -1, QStringLiteral("2\n1 2\n"), false},
        };
        const QString indepT = frame::FindWindowRow(QStringLiteral("IndepT"))->caption;
        for (const PasteCase& c : cases) {
            init();
            QStringList asked;
            frame::SetChoiceHook([&](const QString& text, const QStringList& answers) {
                asked << text;
                return asked.size() == 1 ? c.answer : int(answers.indexOf(indepT));
            });
            app::DataEntryForm* editor = app::DataEntryForm::Shared();
            auto* box = editor->findChild<QPlainTextEdit*>(QStringLiteral("DataForm"));
            QGuiApplication::clipboard()->setText(c.block);
            box->paste();
            QCOMPARE(asked.isEmpty(), c.answer < 0);
            if (c.answer >= 0)
                QVERIFY2(asked[0].contains(QStringLiteral("2 columns and 4 rows")), qPrintable(asked[0]));
            QCOMPARE(box->toPlainText(), c.text);
            const QString saved = dir_.filePath(QStringLiteral("pasted.tsv"));
            QCOMPARE(QFile::exists(saved), c.previewShown);
            if (c.previewShown) {
                QFile file(saved);
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), QByteArray("column 1\tcolumn 2\n4.1\t5.0\n3.9\t5.5\n4.4\t6.2\n4.0\t\n"));
                QVERIFY(qobject_cast<frame::TablePreview*>(frame::LoadedWindow(frame::LoadedWindowCount() - 1)));
                QFile::remove(saved);
            }
            if (c.answer == kLayOut) {
                // The t of the two columns as groups: the same as IndepT's on the groups written by hand.
                const CatalogueEntry* entry = FindProcedure("IndepT");
                DataFile laidOut = DataFile::FromText(box->toPlainText().toStdString(), "editor");
                DataFile byHand = DataFile::FromText("4 3\n4.1 3.9 4.4 4.0\n5.0 5.5 6.2\n", "twin");
                RunSettings settings;
                settings.resamples = 1000;
                const auto t = [&](DataFile& f) { return BoxValue(entry->Prepare(f, settings, {}).observed.at(0)); };
                QCOMPARE(t(laidOut), t(byHand));
                QVERIFY(messages_.size() == 1 && messages_[0].contains(QStringLiteral("group B = \"")));
            }
            cleanup();
        }
    }

    // With BREVANT_FRAME_SHOTS set, a picture of the question as the user sees it.
    void questionPicture() {
        const QString shots = qEnvironmentVariable("BREVANT_FRAME_SHOTS");
        if (shots.isEmpty()) QSKIP("pictures only with BREVANT_FRAME_SHOTS");
        app::DataEntryForm::ShowShared();
        app::DataEntryForm* editor = app::DataEntryForm::Shared();
        QTimer::singleShot(300, [&] {
            QWidget* question = QApplication::activeModalWidget();
            QVERIFY(question != nullptr);
            editor->grab().save(shots + QStringLiteral("/editor.png"));
            question->grab().save(shots + QStringLiteral("/paste-question.png"));
            question->close();
        });
        QGuiApplication::clipboard()->setText(QStringLiteral("fast\tslow\n") + kBlock);
        editor->findChild<QPlainTextEdit*>(QStringLiteral("DataForm"))->paste();
    }
};

BREVANT_QTEST(TablePasteTest)
}  // namespace BREVANT_TEST_UNIT
#include "TablePaste_test.moc"
