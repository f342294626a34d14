// The main window: its menus by name and caption, the seeding at start-up, the analysis entries, the About
// box, the program description (with the built-in copy as fallback), and ending the program.
#include "frame/AnalysisWindow.h"
#include "frame/Description.h"
#include "frame/Dialogs.h"
#include "frame/Shell.h"
#include "app/DataEntryForm.h"
#include "app/StartForm.h"
#include "frame/TablePreview.h"
#include "app/frmSplash.h"
#include "engine/BuildInfo.h"
#include "engine/Module1.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/QtTests.h"
#include <memory>
#include "support/DescriptionFiles.h"

namespace BREVANT_TEST_UNIT {

using brevant::app::DataEntryForm;
using brevant::app::StartForm;
using brevant::frame::FileDialogKind;

namespace {

// The menu bar as it must read: "objectName=caption", submenus in braces.
const char* const kMenuBar =
    "mnuFile=&File{mnuNewFile=&New|mnuOpenFile=&Open|mnuSaveFile=&Save|mnuSaveFileAs=Save &As|mnuExit=E&Xit}"
    "mnuAnalysis=Analysis{mnuHeader1=Bootstrapping Procedures{mnuBootMean=Bootstrapped Mean|"
    "mnuBootstCorr=Bootstrap Correlation|mnuBootstMed=Bootstrapped Median|"
    "mnu2medboot=Compare 2 Medians via Bootstrapping|mnuMediation=Mediation Test via Bootstrapping|"
    "mnuonewayboot=Oneway Anova via Bootstrap}|mnuHeader2=Randomization Tests{mnuIndepT=Two Independent Samples|"
    "mnuDepT=Two Paired Samples|mnu2MedTest=Compare Medians of 2 samples|mnuCorr1=Correlation via randomization|"
    "mnuOnewayRandom=Oneway Anova via Randomization|mnuPairedCorr=Paired Correlations|"
    "mnurepeated1way=Repeated Measures 0ne-way}}"
    "mnuHelp=Help{mnuAbout=About Brevant|mnuDescript=Program Description}";

QString Describe(const QList<QAction*>& actions) {
    QStringList parts;
    for (QAction* a : actions) {
        QString part = a->objectName() + "=" + a->text();
        if (a->menu() != nullptr) part += "{" + Describe(a->menu()->actions()) + "}";
        parts << part;
    }
    return parts.join(QLatin1Char('|'));
}

// The entry and the analysis window it must open.
const std::pair<const char*, const char*> kAnalysisEntries[] = {
    {"mnuBootMean", "BootstMean"},       {"mnuBootstCorr", "BootstCorr"},
    {"mnuBootstMed", "BootstMedian"},    {"mnu2medboot", "TwoMedianBootTest"},
    {"mnuMediation", "MediationBoot"},   {"mnuonewayboot", "OnewayBoot"},
    {"mnuIndepT", "IndepT"},             {"mnuDepT", "PairedT"},
    {"mnu2MedTest", "TwoMedianRandomTest"}, {"mnuCorr1", "Corr1"},
    {"mnuOnewayRandom", "OnewayRandom"}, {"mnuPairedCorr", "PairedCorr"},
    {"mnurepeated1way", "Repeated1way"},
};

using brevant::testing::kDescriptionFiles;

// A file's lines, each followed by CR LF, read independently of the program's reader.
QString LinesWithCrLf(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QStringLiteral("<unreadable>");
    QString text = QString::fromUtf8(f.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (text.endsWith('\n')) text.chop(1);
    return text.isEmpty() ? QString() : text.split('\n').join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}  // namespace

class StartFormTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString startDir_;
    QStringList messages_;
    QList<int> answers_;
    QStringList dialogAnswers_;
    QList<QPair<FileDialogKind, QString>> dialogs_;

    static void trigger(QWidget* window, const char* name) {
        auto* action = window->findChild<QAction*>(QString::fromLatin1(name));
        QVERIFY2(action != nullptr, name);
        action->trigger();
    }

    // Runs the event loop as the program does; `act` runs inside it. Returns exec's code, or -1 when the
    // program did not end by itself within the time allowed.
    static int RunProgram(const std::function<void()>& act, int waitMs = 3000) {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
        watchdog.start(waitMs);
        QTimer::singleShot(0, act);
        const int code = QCoreApplication::exec();
        watchdog.stop();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return code;
    }

private slots:
    void initTestCase() { startDir_ = QDir::currentPath(); }

    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir::setCurrent(dir_->path()));  // an empty working directory: no description files
        messages_.clear();
        answers_.clear();
        dialogAnswers_.clear();
        dialogs_.clear();
        brevant::frame::SetMessageHook([this](const QString& text) { messages_ << text; });
        brevant::frame::SetQuestionHook(
            [this](const QString&) { return answers_.isEmpty() ? int(QMessageBox::Cancel) : answers_.takeFirst(); });
        brevant::frame::SetFileDialogHook([this](FileDialogKind kind, const QString& filter) {
            dialogs_.append({kind, filter});
            return dialogAnswers_.isEmpty() ? QString() : dialogAnswers_.takeFirst();
        });
    }

    void cleanup() {
        while (brevant::frame::LoadedWindowCount() > 0) delete brevant::frame::LoadedWindow(0);
        QDir::setCurrent(startDir_);
        brevant::frame::SetMessageHook({});
        brevant::frame::SetQuestionHook({});
        brevant::frame::SetFileDialogHook({});
    }

    void windowAndMenus() {
        auto* form = new StartForm();
        QCOMPARE(form->objectName(), QStringLiteral("StartForm"));
        QCOMPARE(form->windowTitle(), QStringLiteral("Brevant Procedures"));
        QCOMPARE(Describe(form->menuBar()->actions()), QString::fromLatin1(kMenuBar).replace("}m", "}|m"));
        for (const char* name : {"mnuFile", "mnuAnalysis", "mnuHeader1", "mnuHeader2", "mnuHelp"}) {
            QVERIFY2(form->findChild<QMenu*>(QString::fromLatin1(name)) != nullptr, name);
        }

        const auto label = [form](const char* name) { return form->findChild<QLabel*>(QString::fromLatin1(name)); };
        QCOMPARE(label("Label1")->text(), QStringLiteral("Brevant Procedures"));
        QCOMPARE(QFontInfo(label("Label1")->font()).styleHint(), QFont::Serif);
        QCOMPARE(label("Label5")->text(), QStringLiteral("Begin by Selecting an Analysis from Menu Bar"));
        for (const char* name : {"Label2", "Label3", "Label4"}) QVERIFY(!label(name)->text().isEmpty());
        for (const char* name : {"Picture1", "Image1"}) QVERIFY(!label(name)->pixmap().isNull());
        QCOMPARE(form->findChild<QPushButton*>(QStringLiteral("Quit"))->text(), QStringLiteral("Quit"));
        QVERIFY(!form->findChild<QPlainTextEdit*>(QStringLiteral("txtFile"))->isVisibleTo(form));
        QCOMPARE(brevant::frame::LoadedWindow(0), form);  // the main window is loaded first
    }

    // Dir1 lists the folders of the working directory, and only folders.
    void directoryList() {
        QVERIFY(QDir().mkdir(QStringLiteral("beta")));
        QVERIFY(QDir().mkdir(QStringLiteral("Alpha")));
        WriteBytes(QStringLiteral("data.dat"), "1 2");
        auto* form = new StartForm();
        auto* list = form->findChild<QListWidget*>(QStringLiteral("Dir1"));
        QVERIFY(list != nullptr);
        QStringList shown;
        for (int i = 0; i < list->count(); ++i) shown << list->item(i)->text();
        QCOMPARE(shown, QStringList({"Alpha", "beta"}));
    }

    // Seeded once per run of the program: a second main window, or a second load, draws no new seeds.
    void seedsOncePerRun() {
        auto* form = new StartForm();
        const brevant::Seeds seeds = brevant::GetSeeds();
        QVERIFY(brevant::SeedsValid(seeds));
        QVERIFY(seeds.a >= 1 && seeds.a <= 10000 && seeds.b >= 1 && seeds.b <= 9000 && seeds.c >= 1 &&
                seeds.c <= 23423);
        brevant::RandomUniform();
        const brevant::Seeds advanced = brevant::GetSeeds();
        form->Form_Load();
        delete form;
        new StartForm();
        QCOMPARE(brevant::GetSeeds(), advanced);
    }

    void analysisEntriesOpenTheirWindows() {
        auto* form = new StartForm();
        form->show();
        for (const auto& [entry, window] : kAnalysisEntries) {
            trigger(form, entry);
            QPointer<QWidget> opened = brevant::frame::OpenAnalysisWindow(QString::fromLatin1(window));
            QVERIFY2(!opened.isNull(), window);
            QCOMPARE(opened->objectName(), QString::fromLatin1(window));
            QVERIFY(opened->isVisible());
            trigger(form, entry);  // chosen again: brought forward, not opened twice
            QCOMPARE(brevant::frame::OpenAnalysisWindow(QString::fromLatin1(window)), opened.data());
        }
        QVERIFY(form->isVisible());
        QCOMPARE(brevant::frame::LoadedWindowCount(), 1 + 13);
        QVERIFY(messages_.isEmpty());
    }

    void aboutBox() {
        auto* form = new StartForm();
        trigger(form, "mnuAbout");
        QPointer<brevant::app::frmSplash> about = form->AboutBox();
        QVERIFY(!about.isNull() && about->isVisible());
        QCOMPARE(about->windowTitle(), QStringLiteral("About Brevant Statistics"));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Brevant Procedures"));
        QCOMPARE(about->findChild<QLabel*>(QStringLiteral("lblVersion"))->text(), QStringLiteral("Version ") + QString::fromStdString(std::string(brevant::ProgramVersion())));
        QVERIFY(!about->findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->toPlainText().isEmpty());
        QVERIFY(!about->findChild<QLabel*>(QStringLiteral("Picture1"))->pixmap().isNull());
        trigger(form, "mnuAbout");
        QCOMPARE(form->AboutBox(), about.data());  // one About box

        form->hide();
        auto* close = about->findChild<QPushButton*>(QStringLiteral("cmdClose"));
        QCOMPARE(close->text(), QStringLiteral("Close"));
        close->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(about.isNull());  // unloaded
        QVERIFY(form->isVisible());  // and the main window shown
        QCOMPARE(brevant::frame::LoadedWindowCount(), 1);
    }

    void descriptionFromWorkingDirectory() {
        WriteBytes(QStringLiteral("BrevantHelp.txt"), "first line\nsecond line\r\n\nlast");
        auto* form = new StartForm();
        auto* box = form->findChild<QPlainTextEdit*>(QStringLiteral("txtFile"));
        trigger(form, "mnuDescript");
        trigger(form, "mnuDescript");  // rebuilt from empty each time: shown once
        QVERIFY(box->isVisibleTo(form));
        QVERIFY(box->isEnabled());
        QCOMPARE(box->toPlainText(), QStringLiteral("first line\nsecond line\n\nlast\n"));
        QCOMPARE(brevant::frame::ReadDescription(QStringLiteral("BrevantHelp.txt")),
                 QStringLiteral("first line\r\nsecond line\r\n\r\nlast\r\n"));
    }

    // Without a file in the working directory the copy in help/ shows: the source tree's, for a program run
    // from the build tree (an installed one reads share/brevant), the built-in one otherwise; all are the same.
    void builtInDescriptions() {
        auto* form = new StartForm();
        trigger(form, "mnuDescript");
        const QString helpDir = QStringLiteral(BREVANT_SOURCE_DIR "/help/");
        QCOMPARE(form->findChild<QPlainTextEdit*>(QStringLiteral("txtFile"))->toPlainText(),
                 LinesWithCrLf(helpDir + "BrevantHelp.txt").replace(QStringLiteral("\r\n"), "\n"));
        QVERIFY(messages_.isEmpty());
        for (const QString& name : kDescriptionFiles) {
            const QString text = brevant::frame::ReadDescription(name);
            QVERIFY2(!text.isEmpty(), qPrintable(name));
            QCOMPARE(text, LinesWithCrLf(helpDir + name));
        }
        // A folder of that name cannot be read as a file: the next copy again.
        QVERIFY(QDir().mkdir(QStringLiteral("IndepTHelp.txt")));
        QCOMPARE(brevant::frame::ReadDescription(QStringLiteral("IndepTHelp.txt")),
                 LinesWithCrLf(helpDir + "IndepTHelp.txt"));
        QCOMPARE(brevant::frame::ReadDescription(QStringLiteral("NoSuchHelp.txt")), QString());
    }

    void fileEntries() {
        auto* form = new StartForm();
        dialogAnswers_ << QStringLiteral("/somewhere/data.dat");
        trigger(form, "mnuOpenFile");
        QCOMPARE(dialogs_.size(), 1);
        QCOMPARE(dialogs_[0].first, FileDialogKind::Open);
        // The documented filter first, then tables: the name is opened as what it is. This one does not exist.
        QVERIFY(dialogs_[0].second.startsWith(QStringLiteral("Data files(*.dat)|*.dat|Tables (*.csv")));
        QCOMPARE(messages_.size(), 1);
        QVERIFY(!DataEntryForm::Existing()->isVisible());
        // Counts-first text opens in the data editor, a table in its preview.
        const QString counts = dir_->filePath(QStringLiteral("counts.dat"));
        const QString table = dir_->filePath(QStringLiteral("table.txt"));
        for (const auto& [name, text] : {std::pair{counts, "2\n1 2\n3 4\n"}, std::pair{table, "x;y\n1;2\n"}}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(text);
        }
        dialogAnswers_ << counts << table;
        trigger(form, "mnuOpenFile");
        QVERIFY(DataEntryForm::Existing()->isVisible());
        auto* box = DataEntryForm::Existing()->findChild<QPlainTextEdit*>(QStringLiteral("DataForm"));
        QVERIFY(box->toPlainText().startsWith(QStringLiteral("2\n1 2")));
        DataEntryForm::Existing()->hide();
        trigger(form, "mnuOpenFile");
        auto* preview = qobject_cast<brevant::frame::TablePreview*>(brevant::frame::LoadedWindow(2));
        QVERIFY(preview != nullptr && preview->isVisible() && preview->Path() == table);
        delete preview;
        QCOMPARE(messages_.size(), 1);

        trigger(form, "mnuNewFile");
        QVERIFY(DataEntryForm::Existing() != nullptr && DataEntryForm::Existing()->isVisible());
        QCOMPARE(brevant::frame::LoadedWindowCount(), 2);
        DataEntryForm::Existing()->hide();
        brevant::frame::ShowDataEditor();  // the analysis windows' "&New" reaches the same editor
        QVERIFY(DataEntryForm::Existing()->isVisible());
        QCOMPARE(brevant::frame::LoadedWindowCount(), 2);

        // "&Save" and "Save &As" save the data editor's text.
        DataEntryForm::Existing()->findChild<QPlainTextEdit*>(QStringLiteral("DataForm"))->setPlainText("2\n5 6");
        dialogAnswers_ << dir_->filePath(QStringLiteral("saved.dat"));
        trigger(form, "mnuSaveFile");
        QCOMPARE(dialogs_.last().first, FileDialogKind::Save);
        QFile saved(dir_->filePath(QStringLiteral("saved.dat")));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("2\r\n5 6\r\n"));
        trigger(form, "mnuSaveFileAs");
        QCOMPARE(dialogs_.size(), 5);  // three opens, then the two saves
    }

    // "Quit" with the About box, the editor and several analysis windows loaded ends the program.
    void quitEndsTheProgram() {
        QPointer<StartForm> form = new StartForm();
        form->show();
        trigger(form, "mnuAbout");
        trigger(form, "mnuIndepT");
        trigger(form, "mnuNewFile");
        trigger(form, "mnuBootMean");
        trigger(form, "mnuOnewayRandom");
        QCOMPARE(brevant::frame::LoadedWindowCount(), 6);
        const int code = RunProgram([form] { form->findChild<QPushButton*>(QStringLiteral("Quit"))->click(); });
        QCOMPARE(code, 0);
        QVERIFY(form.isNull());
        QCOMPARE(brevant::frame::LoadedWindowCount(), 0);
    }

    // Closing the main window quits as well, asking about the editor's unsaved text before it unloads
    // anything: a cancelled quit leaves every window loaded, and the editor still only hides when closed.
    void closingTheMainWindowQuits() {
        QPointer<StartForm> form = new StartForm();
        form->show();
        trigger(form, "mnuCorr1");
        trigger(form, "mnuNewFile");
        trigger(form, "mnuBootMean");
        auto* text = DataEntryForm::Existing()->findChild<QPlainTextEdit*>(QStringLiteral("DataForm"));
        text->setPlainText(QStringLiteral("1\n9"));
        text->document()->setModified(true);

        answers_ << QMessageBox::Cancel;
        QCOMPARE(RunProgram([form] { form->close(); }, 500), -1);  // the program goes on
        QVERIFY(!form.isNull() && form->isVisible());
        QCOMPARE(brevant::frame::LoadedWindowCount(), 4);
        QPointer<DataEntryForm> editor = DataEntryForm::Existing();
        QVERIFY(!editor.isNull());
        editor->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!editor.isNull());
        QCOMPARE(text->toPlainText(), QStringLiteral("1\n9"));

        answers_ << QMessageBox::Yes;
        dialogAnswers_ << dir_->filePath(QStringLiteral("kept.dat"));
        QCOMPARE(RunProgram([form] { form->close(); }), 0);
        QVERIFY(form.isNull());
        QVERIFY(QFile::exists(dir_->filePath(QStringLiteral("kept.dat"))));
        QCOMPARE(brevant::frame::LoadedWindowCount(), 0);
    }

    // "E&Xit" ends at once, but not over the editor's unsaved text without asking.
    void exitEndsAtOnce() {
        QPointer<StartForm> form = new StartForm();
        form->show();
        QCOMPARE(RunProgram([form] { trigger(form, "mnuExit"); }), 0);
        QVERIFY(!form.isNull());  // nothing is unloaded one by one

        trigger(form, "mnuNewFile");
        auto* text = DataEntryForm::Existing()->findChild<QPlainTextEdit*>(QStringLiteral("DataForm"));
        text->setPlainText(QStringLiteral("1\n9"));
        text->document()->setModified(true);
        answers_ << QMessageBox::Cancel;
        QCOMPARE(RunProgram([form] { trigger(form, "mnuExit"); }, 500), -1);
        answers_ << QMessageBox::No;
        QCOMPARE(RunProgram([form] { trigger(form, "mnuExit"); }), 0);
    }

    void grabForALook() {
        auto* form = new StartForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        trigger(form, "mnuAbout");
        QVERIFY(QTest::qWaitForWindowExposed(form->AboutBox()));
        const QImage main = form->grab().toImage();
        const QImage about = form->AboutBox()->grab().toImage();
        trigger(form, "mnuDescript");
        const QImage described = form->grab().toImage();
        QVERIFY(!main.isNull() && !about.isNull() && !described.isNull());
        if (qEnvironmentVariableIsSet("BREVANT_GRAB_DIR")) {
            const QString out = qEnvironmentVariable("BREVANT_GRAB_DIR");
            main.save(out + QStringLiteral("/StartForm.png"));
            about.save(out + QStringLiteral("/frmSplash.png"));
            described.save(out + QStringLiteral("/StartForm-description.png"));
        }
    }
};

BREVANT_QTEST(StartFormTest)
}  // namespace BREVANT_TEST_UNIT
#include "StartForm_test.moc"
