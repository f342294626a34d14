// What keeps a user's work from being lost, and how files and seeds are handed over, driven through real
// windows: closing, Main Menu and quitting while a run is in progress ask first; File > Close; the output
// file forgotten with its data file; Edit > Seeds, whose run repeats the batch tool's; the status line that
// keeps the seeds in sight; the whole description.
#include "analysis/catalogue/ProcedureCatalogue.h"
#include "engine/SeedsText.h"
#include "frame/Description.h"
#include "frame/DescriptionViewer.h"
#include "frame/StatusLabel.h"
#include "support/CliRun.h"
#include "support/QtTests.h"
#include "support/WindowRuns.h"
#include "support/WindowTestBase.h"

#include <QPlainTextEdit>
#include <QPointer>
#include <QRadioButton>
#include <nlohmann/json.hpp>

namespace BREVANT_TEST_UNIT {

using namespace brevant;
using namespace brevant::frame;
using brevant::testing::Example;
using brevant::testing::FlushDeletes;

namespace {

constexpr Seeds kSeeds{1234, 5678, 9012};

StatusLabel* RunLabel(QWidget* w) { return w->findChild<StatusLabel*>(QStringLiteral("lblRunInfo")); }

// The example data file of a window.
QString ExampleOf(const QString& window) {
    const QStringList found = QDir(QStringLiteral(BREVANT_SOURCE_DIR "/help/examples"))
                                  .entryList({window + QStringLiteral("-*.dat")}, QDir::Files);
    return found.isEmpty() ? QString() : Example(qPrintable(found.first()));
}

}  // namespace

class WindowSafetyTest : public brevant::testing::WindowTestBase {
    Q_OBJECT

public:
    WindowSafetyTest() : WindowTestBase(kSeeds) {}

private:
    QStringList questions_;
    QList<int> replies_;                   // the next questions' answers; Yes once they run out
    QList<std::optional<QString>> typed_;  // the next text dialogs' answers; cancelled once they run out
    int mainShown_ = 0;

    // Chooses a data or output file through the window's own handlers and the replaced dialog.
    void ChooseData(frame::AnalysisWindow* w, const QString& file) {
        answers_ << file;
        w->mnuOpenFile_Click();
    }
    void ChooseOutput(frame::AnalysisWindow* w, const QString& file) {
        answers_ << file;
        w->mnuOpenOut_Click();
    }

    // A window with its example (and the output file, where it writes one) chosen and a run of its largest
    // count started, not yet polled, so it is in progress however fast the worker is.
    frame::AnalysisWindow* StartLongRun(const QString& name, const QString& output = {}) {
        frame::AnalysisWindow* w = Open(qPrintable(name));
        ChooseData(w, ExampleOf(name));
        if (!output.isEmpty() && !FindProcedure(name.toStdString())->Has(kNoOutputFile)) ChooseOutput(w, output);
        w->CountButton(4)->click();
        SetSeeds(kSeeds);
        w->RunButton()->click();
        return w;
    }

private slots:
    void initTestCase() {
        QLocale::setDefault(QLocale::c());  // the boxes' three decimals as the batch tool writes them
        InstallHooks(false);
        SetQuestionHook([this](const QString& text) {
            questions_ << text;
            return replies_.isEmpty() ? int(QMessageBox::Yes) : replies_.takeFirst();
        });
        SetTextHook(
            [this](const QString&, const QString&) { return typed_.isEmpty() ? std::nullopt : typed_.takeFirst(); });
        SetShowMainWindowHook([this] { ++mainShown_; });
    }

    void init() {
        questions_.clear();
        replies_.clear();
        typed_.clear();
        messages_.clear();
        answers_.clear();
        mainShown_ = 0;
    }

    void cleanup() {
        CloseWindows();
        QVERIFY(!TheRunGate().Busy());
        for (const WindowRow& row : WindowTable()) StoredValuesOf(row.name) = {};
    }

    // Each way out of a window during a run asks once; No leaves the run to finish, Yes stops it (nothing
    // shown, nothing written) and goes: the window alone, or every window for a quit.
    void leavingDuringARunAsksFirst_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("how");  // a button or menu entry by name, or "close" for the title bar
        QTest::addColumn<bool>("quits");
        QTest::addColumn<QString>("asked");
        const QString closing = QStringLiteral("Closing the window stops the run");
        const QString quitting = QStringLiteral("Quitting stops the run");
        const auto row = [](const char* what, const char* window, const char* how, bool quits, const QString& asked) {
            QTest::newRow(what) << QString::fromLatin1(window) << QString::fromLatin1(how) << quits << asked;
        };
        row("title bar", "IndepT", "close", false, closing);
        row("Main Menu", "BootstMean", "Command1", false, closing);
        row("Return entry", "Corr1", "mnuReturn", false, closing);
        row("File > Close", "PairedCorr", "mnuCloseFile", false, closing);
        row("Quit button", "OnewayRandom", "Quit", true, quitting);
        row("Exit entry", "IndepT", "mnuExit", true, quitting);
        row("Close that ends all", "BootstMedian", "mnuCloseFile", true,
            QStringLiteral("The run in progress in this window stops too."));
    }
    void leavingDuringARunAsksFirst() {
        QFETCH(QString, window);
        QFETCH(QString, how);
        QFETCH(bool, quits);
        QFETCH(QString, asked);
        const auto leave = [&how](frame::AnalysisWindow* w) {
            if (how == QLatin1String("close")) {
                w->close();
            } else if (auto* button = w->findChild<QPushButton*>(how)) {
                button->click();
            } else {
                w->findChild<QAction*>(how)->trigger();
            }
        };
        Open("TwoMedianBootTest");  // another window, which a quit takes too
        for (const int reply : {int(QMessageBox::No), int(QMessageBox::Yes)}) {
            const QString output = Temp("leaving.dat");
            QFile::remove(output);
            QPointer<frame::AnalysisWindow> w = StartLongRun(window, output);
            QVERIFY(w->Running());
            questions_.clear();
            replies_ << reply;
            leave(w);
            FlushDeletes();
            QCOMPARE(questions_.size(), 1);
            QVERIFY2(questions_[0].contains(asked), qPrintable(questions_[0]));
            if (reply == int(QMessageBox::No)) {
                QVERIFY(!w.isNull() && w->Running());  // the run goes on to its end
                QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), kRunTimeout);
                QVERIFY(w->ShownRun().has_value() && !w->ShownRun()->stopped);
                QCOMPARE(LoadedWindowCount(), 2);
                continue;
            }
            QVERIFY(w.isNull());
            QVERIFY(!TheRunGate().Busy());
            QVERIFY(!QFile::exists(output));
            QCOMPARE(LoadedWindowCount(), quits ? 0 : 1);
            QCOMPARE(mainShown_, quits ? 0 : 1);
        }
    }

    // "&Close" closes its window alone where the design gave it no action; where it is the program's end
    // it asks even without a run.
    void fileCloseClosesTheWindowOrAsks() {
        for (const char* name : {"BootstMean", "PairedCorr"}) {
            Open("IndepT");
            QPointer<frame::AnalysisWindow> w = Open(name);
            w->findChild<QAction*>(QStringLiteral("mnuCloseFile"))->trigger();
            FlushDeletes();
            QVERIFY2(w.isNull(), name);
            QCOMPARE(LoadedWindowCount(), 1);
            QVERIFY(questions_.isEmpty());
        }
        QPointer<frame::AnalysisWindow> median = Open("BootstMedian");
        replies_ << int(QMessageBox::No);
        median->findChild<QAction*>(QStringLiteral("mnuCloseFile"))->trigger();
        FlushDeletes();
        QCOMPARE(questions_.size(), 1);
        QVERIFY(questions_[0].startsWith(QStringLiteral("Close ends the whole program")));
        QCOMPARE(LoadedWindowCount(), 2);
        median->findChild<QAction*>(QStringLiteral("mnuCloseFile"))->trigger();  // Yes
        FlushDeletes();
        QCOMPARE(LoadedWindowCount(), 0);
    }

    // While a run is in progress the line says so, the other windows' Run buttons say whose run it is, and
    // the seeds cannot change.
    void aRunInProgressIsTold() {
        frame::AnalysisWindow* other = Open("Corr1");
        frame::AnalysisWindow* w = StartLongRun(QStringLiteral("BootstCorr"));
        QVERIFY(RunLabel(w)->text().startsWith(QStringLiteral("Running... \u00B7 50000 resamples")));  // C locale
        QVERIFY(!other->RunButton()->isEnabled());
        QVERIFY(other->RunButton()->toolTip().contains(QStringLiteral("\u201CBootstrapping Correlations\u201D")));
        QVERIFY(w->RunButton()->toolTip().isEmpty());
        QVERIFY(!other->SeedsAction()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), kRunTimeout);
        QVERIFY(RunLabel(w)->text().startsWith(QStringLiteral("Last run \u00B7")));
        QVERIFY(other->RunButton()->isEnabled() && other->RunButton()->toolTip().isEmpty());
    }

    // The output file was agreed to with its data file: the same file keeps it, another forgets it. A name
    // typed without a suffix gets the filter's.
    void anOutputFileGoesWithItsDataFile() {
        frame::AnalysisWindow* w = Open("IndepT");
        const QString data = ExampleOf(QStringLiteral("IndepT"));
        ChooseData(w, data);
        ChooseOutput(w, Temp("results"));
        QCOMPARE(w->Stored().outputFile, Temp("results.dat"));
        ChooseData(w, data);
        QCOMPARE(w->Stored().outputFile, Temp("results.dat"));
        const QString copy = Temp("copy.dat");
        QFile::copy(data, copy);
        ChooseData(w, copy);
        QVERIFY(w->Stored().outputFile.isEmpty());
        QCOMPARE(w->findChild<QLabel*>(QStringLiteral("lblOutputFile"))->text(), QStringLiteral("Output file: none"));
        RunAndWait(w);
        QVERIFY(!QFile::exists(Temp("results.dat")));
    }

    // Edit > Seeds: a text that is not three seeds in range is refused with the batch tool's words and
    // leaves the generator as it was; three good seeds start the next run, whose figures are the batch
    // tool's from the same seeds.
    void seedsSetTheNextRunAsTheBatchToolDoes() {
        frame::AnalysisWindow* w = Open("IndepT");
        const QString data = ExampleOf(QStringLiteral("IndepT"));
        ChooseData(w, data);
        const Seeds before{11, 22, 33};
        SetSeeds(before);
        for (const char* bad :
             {"", "1,2", "0,1,1", "30269,1,1", "1,30307,1", "1,1,30323", "1,2,3,4", "a,b,c", "1,-2,3"}) {
            messages_.clear();
            typed_ << QString::fromLatin1(bad);
            w->SeedsAction()->trigger();
            QCOMPARE(messages_, QStringList{QString::fromStdString(SeedsProblem("The seeds", bad))});
            QVERIFY(
                messages_[0].startsWith(QStringLiteral("The seeds must be three whole numbers A,B,C with A from "
                                                       "1 to 30268, B from 1 to 30306 and C from 1 to 30322")));
            QCOMPARE(GetSeeds(), before);
        }
        typed_ << QStringLiteral("1234, 5678, 9012");
        w->SeedsAction()->trigger();
        QCOMPARE(GetSeeds(), kSeeds);
        w->RunButton()->click();
        QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), kRunTimeout);
        QCOMPARE(w->ShownRun()->seeds, kSeeds);
        QVERIFY(RunLabel(w)->text().endsWith(QStringLiteral("seeds 1234,5678,9012")));

        const testing::CliRun cli =
            testing::Cli({"IndepT", data.toStdString(), "--resamples", "1000", "--seed", "1234,5678,9012", "--json"});
        QCOMPARE(cli.code, 0);
        const auto results = nlohmann::json::parse(cli.out)["results"];
        QVERIFY(results.size() >= 4);
        for (const auto& [control, box] : results.items())
            QCOMPARE(Box(w, control), QString::fromStdString(box["text"].get<std::string>()));
    }

    // At any width the run's part of the status line shows how it opens and its seeds whole, giving up
    // the data file's name and the counts first; at each window's default size, after a run and after a
    // refused one, it shows everything, the data file's whole name included.
    void theStatusLineKeepsTheSeeds() {
        StatusLabel label(QStringLiteral("lblRunInfo"));
        label.SetParts({{QStringLiteral("Earlier run on ")},
                        {QStringLiteral("a-rather-long-name-of-a-data-file.dat"), true},
                        {QStringLiteral(" \u00B7 10,000 resamples \u00B7 95 %"), true},
                        {QStringLiteral(" \u00B7 seeds 1234,5678,9012")}});
        const int least = label.minimumSizeHint().width();
        const int most = label.fontMetrics().horizontalAdvance(label.text());
        QVERIFY(least < most / 2);
        for (int width = least; width <= most + 10; width += 7) {
            const QString shown =
                label.ShownText(width - label.contentsMargins().left() - label.contentsMargins().right());
            QVERIFY2(shown.startsWith(QStringLiteral("Earlier run on ")) &&
                         shown.endsWith(QStringLiteral(" \u00B7 seeds 1234,5678,9012")),
                     qPrintable(shown));
            QCOMPARE(shown == label.text(),
                     width >= most + label.contentsMargins().left() + label.contentsMargins().right());
            // The file's name gives way before the counts.
            if (shown.contains(QStringLiteral("10,000 resamples"))) continue;
            QVERIFY2(!shown.contains(QStringLiteral("data-file")), qPrintable(shown));
        }

        for (const WindowRow& row : WindowTable()) {
            frame::AnalysisWindow* w = Open(qPrintable(row.name));
            QVERIFY(QTest::qWaitForWindowExposed(w));
            const auto* data = w->findChild<StatusLabel*>(QStringLiteral("lblDataFile"));
            QCOMPARE(data->ShownText(), data->text());  // the layout the file needs, whole
            ChooseData(w, ExampleOf(row.name));
            RunAndWait(w);
            const auto* run = RunLabel(w);
            QVERIFY2(run->ShownText() == run->text(), qPrintable(row.name + QLatin1Char(' ') + run->ShownText()));
            const QString name = QFileInfo(ExampleOf(row.name)).fileName();  // whole where the window has room
            QVERIFY2(data->ShownText().endsWith(name), qPrintable(data->ShownText()));
            testing::Shot(w, qPrintable(row.name + QStringLiteral("-run")));
            testing::WriteText(Temp("refused.dat"), "2 2 x 1 2 3 4 5 6 7 8\r\n");  // no procedure reads "x"
            ChooseData(w, Temp("refused.dat"));
            w->RunButton()->click();
            QVERIFY2(w->ResultsStale(), qPrintable(row.name));
            QVERIFY2(run->ShownText().startsWith(QStringLiteral("Earlier run on ")) &&
                         run->ShownText().endsWith(SeedsTextOf(w->ShownRun()->seeds)),
                     qPrintable(row.name + QLatin1Char(' ') + run->ShownText()));
            testing::Shot(w, qPrintable(row.name + QStringLiteral("-refused")));
            w->close();
            FlushDeletes();
        }
    }

    // Help > "Description (full text)..." shows the whole file in every window, Paired Correlations
    // included; the boxes the design keeps greyed stay greyed.
    void theWholeDescriptionIsOffered() {
        for (const WindowRow& row : WindowTable()) {
            frame::AnalysisWindow* w = Open(qPrintable(row.name));
            QAction* entry = w->findChild<QAction*>(QStringLiteral("mnuFullDescription"));
            QVERIFY2(entry != nullptr, qPrintable(row.name));
            entry->trigger();
            auto* viewer = qobject_cast<DescriptionViewer*>(w->DescriptionWindow());
            QVERIFY(viewer != nullptr && viewer->isVisible());
            const QString whole = ReadDescription(row.descriptionFile).replace(QStringLiteral("\r\n"), "\n");
            QVERIFY2(whole.size() > 500, qPrintable(row.descriptionFile));
            QCOMPARE(viewer->Text()->toPlainText(), whole);
            QVERIFY(viewer->Text()->isEnabled() && viewer->Text()->isReadOnly());
            w->close();
            FlushDeletes();
        }
        QVERIFY(FindWindowRow(QStringLiteral("PairedCorr"))->descriptionFile == QStringLiteral("PairedCorrHelp.txt"));
    }

private:
    static QString SeedsTextOf(const Seeds& seeds) {
        return QStringLiteral("seeds ") + QString::fromStdString(SeedsText(seeds));
    }
};

BREVANT_QTEST(WindowSafetyTest)
}  // namespace BREVANT_TEST_UNIT
#include "WindowSafety_test.moc"
