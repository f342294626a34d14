// The analysis-window frame, driven through the real windows by their control names. The expected captions,
// names and values below are typed from the window, About and menu tables themselves, not from the frame's
// table, so a slip in either shows up here.
#include "frame/AnalysisWindow.h"
#include "frame/ColumnChooser.h"
#include "frame/Dialogs.h"
#include "frame/Shell.h"
#include "support/WindowRuns.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "support/QtTests.h"
#include <filesystem>

namespace BREVANT_TEST_UNIT {

using namespace brevant::frame;

namespace {

using brevant::testing::FlushDeletes;

struct Expected {
    const char* name;
    const char* caption;
    const char* buttons;  // run, main menu, quit: "name=caption|name=caption|name=caption"
    const char* fifthCaption;
    int fifthValue;
    bool option2;
    bool dtFilter;  // "Data (*.dat)|*.dat|Text (*.txt)|*.txt" rather than "Data files(*.dat)|*.dat"
    const char* menus;     // "menu=caption{entry=caption|...};..."
    const char* handlers;  // the handler number each entry runs, menus separated by ";"
    const char* about;     // nullptr: no About message; "" any text (the window's design gave none)
    const char* description;
    bool descriptionDisabled;
    bool hidesDescriptionFirst;
    bool sortBar;
};

// (none) entries are expected to do what their caption promises: &New 5, E&xit 9, &Close 8 (the window
// closes, not the program), About 6.
const Expected kWindows[] = {
    {"IndepT", "Independent Groups t", "cmdRun=Run|cmdMainMenu=Main Menu|Quit=Quit", "100,000", 100000, false, true,
     "mnuFile=File{mnuNewFile=&New|mnuOpenfile=&Open|mnuOpenOut=Open Outfile|mnuExit=E&xit};"
     "mnuAnalysis=Analysis{mnuReturn=Return to Main Menu};"
     "mnuHelp=&Help{mnuAbout=About Brevant|mnuDescript=Program Description}",
     "5,3,4,9;8;6,7",
     "This is a resampling procedure to test the difference between two means in independent samples. This is "
     "version 1.1, last modified in January, 2001.",
     "IndepTHelp.txt", false, false, false},
    {"PairedT", "PairedT", "cmdRun=Run|cmdMainMenu=Main Menu|Quit=Quit", "100,000", 100000, false, true,
     "mnuFile=&File{mnuNewFile=&New|mnuOpenItem=&Open...|mnuOpenOut=&Open Outfile|mnuExitItem=&Exit...};"
     "mnuAnalysis=&Analysis{mnuReturn=Return to Main Window};"
     "mnuHelp=Help{mnuAbout=About|mnuDescript=Description}",
     "5,3,4,10;8;6,7",
     "This is a randomization procedure to test the difference between two means in correlated samples. This is "
     "version 1.1, last modified in January, 2001.",
     "PairedTHelp.txt", true, false, false},
    {"TwoMedianRandomTest", "Randomization of difference of two medians", "cmdRun=Run|cmdMainMenu=Main Menu|Quit=Quit",
     "50,000", 50000, true, false,
     "mnuFile=&File{mnuOpenFile=&Open|mnuOpenOut=OpenOutFile};"
     "mnuAnalysis=Analysis{mnuRetrun=Return to Main Menu};"
     "mnuHelp=&Help{mnuAbout=About|mnuDescript=Description}",
     "3,4;8;6,7",
     "This is a bootstrap procedure to compare the medians of two independent samples, and provide confidence "
     "limits. This is version 1.1, last modified in January, 2001.",
     "TwoMedianRandomTestHelp.txt", false, true, true},
    {"Corr1", "Correlation via randomization", "cmdRun=Run|cmdMainMenu=Main Menu|Command1=Quit", "100,000", 100000,
     false, true,
     "mnuFile=&File{mnuNewFile=&New|mnuOpenFile=&Open|mnuOpenOut=Open Output File};"
     "mnuAnalysis=Analysis{mnuReturn=Return to Main Window};"
     "mnuHelp=Help{mnuAbout=About|mnuDescript=Description}",
     "5,3,4;8;6,7", "Permutation program to test Ho: rho = 0.", "Corr1Help.txt", false, false, false},
    {"OnewayRandom", "Randomization Anova OneWay", "cmdRun=Run|cmdMainMenu=Main Menu|Quit=Quit", "100,000", 100000,
     false, false,
     "mnuFile=&File{mnuOpenFile=&Open|mnuOpenOut=OpenOutFile};"
     "mnuAnalysis=&Analysis{mnuReturnMain=&Return to Main Menu};"
     "mnuHelp=&Help{mnuAbout=About|mnuDescript=Description}",
     "3,4;8;6,7",
     "This is a randomization procedure to test the difference between two means in independent samples. This is "
     "version 1.1, last modified in January, 2001.",
     "OnewayRandomHelp.txt", false, true, false},
    {"Repeated1way", "Repeated One-way Anova", "cmdRun=Run|cmdMainMenu=Main Menu|cmdQuit=Quit", "100,000", 100000,
     false, true,
     "mnuFile=&File{mnuNew=&New|mnuOpen=&Open|mnuOpenOut=&Open Outfile};"
     "mnuanalysis=&Analysis{mnuReturn=Return to Main Menu};"
     "mnuhelp=&Help{mnuAbout=About|mnuDescript=Program description}",
     "5,3,4;8;6,7",
     "This is a randomization procedure to test the difference between several means in independent samples. "
     "This is version 1.1, last modified in January, 2001.",
     "Repeated1wayHelp.txt", true, false, false},
    {"PairedCorr", "Paired Correlations", "cmdRun=Run|cmdMainMenu=Main Menu|Command2=Exit", "50,000", 50000, true,
     true, "mnuFile=File{mnuNewFile=New|mnuOpenFile=&Open|mnuCloseFile=&Close|mnuExit=E&xit}", "5,3,8,9", nullptr,
     nullptr, false, false, true},
    {"BootstMean", "Bootstrapping Means", "cmdRun=Run|Command1=Main Menu|Command2=Exit", "50,000", 50000, true, false,
     "mnuFile=&File{mnuNewFile=&New|mnuOpenFile=&Open|mnuOutput=OutputFile|mnuCloseFile=&Close};"
     "mnuAnalysis=Analysis{mnuReturn=Return to Main Menu};"
     "mnuHelp=&Help{mnuAbout=About Brevant|mnuDescription=Description of Program}",
     "5,3,4,8;8;6,7",
     "This is a resampling procedure to test the difference between two means in independent samples. This is "
     "version 1.1, last modified in January, 2001.",
     "BootstMeanHelp.txt", false, true, true},
    {"BootstMedian", "Bootstrapping Medians", "cmdRun=Run|cmdMainMenu=Main Menu|Command2=Exit", "100,000", 100000,
     true, false,
     "mnuFile=&File{mnuNewFile=&New|mnuOpenFile=&Open|mnuOutput=OutputFile|mnuCloseFile=&Close};"
     "mnuAnalysis=Analysis{mnuReturn=Return to Main Menu};"
     "mnuHelp=&Help{mnuAbout=About|mnuDescription=Description of BootstMedian}",
     "5,3,4,9;8;6,7", "Bootstrap procedure to estimate the median confidence limits on it.", "BootstMedianHelp.txt",
     false, true, true},
    {"BootstCorr", "Bootstrapping Correlations", "Command1=Run|cmdMainMenu=Main Menu|Command2=Exit", "50,000", 50000,
     true, false,
     "mnuFile=&File{mnuNewFile=&New|mnuOpenFile=&Open|mnuOpenOut=&Open Output File};"
     "mnuAnalysis=Analysis{mnuReturn=Return to Main Medu};"
     "mnuHelp=Help{mnuAbout=About|mnuDescript=Description}",
     "5,3,4;8;6,7", "", "BootstCorrHelp.txt", false, false, true},
    {"TwoMedianBootTest", "Bootstrapping difference of two medians", "cmdRun=Run|cmdMainMenu=Main Menu|Quit=Quit",
     "50,000", 50000, true, false,
     "mnuFile=&File{mnuOpenFile=&Open|mnuOpenOut=OpenOutFile};"
     "mnuAnalysis=Analysis{mnuRetrun=Return to Main Menu};"
     "mnuHelp=&Help{mnuAbout=About|mnuDescript=Description}",
     "3,4;8;6,7",
     "This is a bootstrap procedure to compare the medians of two independent samples, and provide confidence "
     "limits. This is version 1.1, last modified in January, 2001.",
     "Bootst2MediansHelp.txt", false, true, true},
    {"MediationBoot", "Mediation", "Command1=Run|cmdMainMenu=Main Menu|Command2=Exit", "50,000", 50000, true, false,
     "mnuFile=&File{mnuOpenFile=&Open|mnuOpenOUt=OpenOut};"
     "mnuAnalysis=Analysis{mnuReturn=Return};"
     "mnuAbout=About{mnuDescript=Descript}",
     "3,4;8;7", nullptr, "MediationBootHelp.txt", false, false, true},
    {"OnewayBoot", "Bootstrapping Anova OneWay", "cmdRun=Run|cmdMainMenu=Main Menu|Quit=Quit", "50,000", 50000, false,
     false,
     "mnuFile=&File{mnuOpenFile=&Open|mnuOpenOut=OpenOutFile};"
     "mnuAnalysis=Analysis{mnuRetrun=Return to Main Menu};"
     "mnuHelp=&Help{mnuAbout=About Oneway Bootstrapping|mnuDescript=Description}",
     "3,4;8;6,7",
     "This is a bootstrap procedure to test the difference between several means in independent samples. This "
     "is version 1.1, last modified in January, 2001.",
     "OnewayBootHelp.txt", false, true, false},
};

// Group-box captions (blanks included) and the labels beside the progress bars, from each window's controls.
struct FrameCaptions {
    const char* name;
    const char* frame1;
    const char* frame2;     // nullptr: no Frame2
    const char* progress1;  // "name=caption", nullptr: no label
    const char* progress2;  // nullptr: no ProgressBar2
};
const FrameCaptions kFrameCaptions[] = {
    {"IndepT", "NReps", nullptr, "Label4=Resamples", nullptr},
    {"PairedT", "NReps", nullptr, nullptr, nullptr},
    {"TwoMedianRandomTest", "           NReps     ", "     CI% ", "Label4=Resamples", "lblProg2=Sort"},
    {"Corr1", "NReps", nullptr, "Label4=Resamples", nullptr},
    {"OnewayRandom", "NReps", nullptr, "Label4=Resamples", nullptr},
    {"Repeated1way", "NReps", nullptr, nullptr, nullptr},
    {"PairedCorr", "           NReps", "     CI %", "Label4=Resamples", "Label5=Sorting"},
    {"BootstMean", "           NReps", "     CI %", "Label4=Resamples", "Label5=Sorting"},
    {"BootstMedian", "           NReps", "     CI %", "Label4=Resamples", "Label5=Sorting"},
    {"BootstCorr", "           NReps", "     CI %", "Label4=Resamples", "Label5=Sorting"},
    {"TwoMedianBootTest", "           NReps     ", "     CI% ", "Label4=Resamples", "lblProg2=Sort"},
    {"MediationBoot", "           NReps", "     CI %", "Label4=Resamples", "Label5=Sorting"},
    {"OnewayBoot", "NReps", nullptr, "Label4=Resamples", nullptr},
};

const QString kD = QStringLiteral("Data files(*.dat)|*.dat");
const QString kDT = QStringLiteral("Data (*.dat)|*.dat|Text (*.txt)|*.txt");

const Expected& ExpectedFor(const QString& name) {
    for (const Expected& e : kWindows)
        if (name == QLatin1String(e.name)) return e;
    qFatal("no expectation for %s", qPrintable(name));
}

QStringList ButtonSpec(const Expected& e) { return QString::fromUtf8(e.buttons).split(QLatin1Char('|')); }
QString NameOf(const QString& spec) { return spec.section(QLatin1Char('='), 0, 0); }
QString CaptionOf(const QString& spec) { return spec.section(QLatin1Char('='), 1); }

// Menus the frame adds beside the window's own (Edit, with Copy Results) carry the added-entry mark too.
bool AddedMenu(const QAction* top) { return top->property(kAddedEntryProperty).toBool(); }

// The entries of a menu that come from the window table, without those the frame adds beside them.
QList<QAction*> TableEntries(QMenu* menu) {
    QList<QAction*> entries;
    for (QAction* entry : menu->actions())
        if (!entry->property(kAddedEntryProperty).toBool()) entries << entry;
    return entries;
}

// The menu bar in the expectation's notation.
QString MenuText(QMainWindow* window) {
    QStringList menus;
    for (QAction* top : window->menuBar()->actions()) {
        if (AddedMenu(top)) continue;
        QStringList entries;
        for (QAction* entry : TableEntries(top->menu())) entries << entry->objectName() + QLatin1Char('=') + entry->text();
        menus << top->objectName() + QLatin1Char('=') + top->text() + QLatin1Char('{') +
                     entries.join(QLatin1Char('|')) + QLatin1Char('}');
    }
    return menus.join(QLatin1Char(';'));
}

// Entry objects in menu order, and their expected handler numbers in the same order.
QList<QAction*> MenuEntries(QMainWindow* window) {
    QList<QAction*> entries;
    for (QAction* top : window->menuBar()->actions())
        if (!AddedMenu(top)) entries << TableEntries(top->menu());
    return entries;
}
QList<int> HandlerNumbers(const Expected& e) {
    QList<int> numbers;
    for (const QString& n : QString::fromUtf8(e.handlers).split(QRegularExpression(QStringLiteral("[,;]"))))
        numbers << n.toInt();
    return numbers;
}

// Records what its run was given and shows progress the way a run does.
class RecordingWindow : public AnalysisWindow {
public:
    using AnalysisWindow::AnalysisWindow;
    QList<RunRequest> runs;

protected:
    void RunProcedure(const RunRequest& request) override {
        runs << request;
        const std::int32_t count = request.settings.resamples;
        ShowProgress1(count, count);
        SortProgressOnBar2()(count - 1, count);
    }
};

// A window that fills its result area the way the busiest analysis windows will.
class FullWindow : public AnalysisWindow {
public:
    explicit FullWindow(const WindowRow& row) : AnalysisWindow(row) {
        AddResultBoxes({{"txtObtT", "label1", "Obtained t"},
                        {"txtNumLess", "Label2_0", "% < - t   | % >  +t", "txtNumGreater"},
                        {"txtProbMore", "Label3_0", "p more extreme"},
                        {"txtEffectSize", "Label3_1", "Effect size"},
                        {"txtStError", "Label6", "St. Error of Bootstrap Distribution"},
                        {"LowerCL", "Label2", "Lower Conf. Limit"},
                        {"UpperCL", "Label3", "Upper Conf. Limit"},
                        {"txtMedian1", "label5", "Median Group 1"},
                        {"txtMedDiff", "Label7", "Median Difference"},
                        {"txtObtB", "Label8", "Obtained  b(xyz)"}});
    }
};

}  // namespace

class AnalysisWindowTest : public QObject {
    Q_OBJECT

    QStringList messages_;
    QList<QString> filters_;    // filter of every file dialog shown
    QStringList dialogAnswers_;  // answers of the next file dialogs; empty means cancelled
    int mainShown_ = 0;
    int editorShown_ = 0;
    QTemporaryDir dir_;
    QString dataFile_;

    AnalysisWindow* Show(const QString& name) { return qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(name)); }
    RecordingWindow* ShowRecording(const QString& name) {
        auto* window = new RecordingWindow(*FindWindowRow(name));
        window->show();
        return window;
    }
    void Answer(const QString& file) { dialogAnswers_ << file; }
    void ChooseData(AnalysisWindow* w) {
        Answer(dataFile_);
        w->mnuOpenFile_Click();
    }
    static void ClickCount(QWidget* w, int index) {
        w->findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(index))->click();
    }

    static void CheckLayout(QMainWindow* w, const QString& shotName) {
        const QRect inside = w->rect();
        QList<QWidget*> placed;
        for (QWidget* child : w->findChildren<QWidget*>()) {
            if (!child->isVisible() || child->isWindow() || child->inherits("QMenu")) continue;
            const QRect r(child->mapTo(w, QPoint(0, 0)), child->size());
            QVERIFY2(inside.contains(r), qPrintable(child->objectName() + QStringLiteral(" is cut off")));
            if (child->inherits("QLabel") || child->inherits("QAbstractButton") || child->inherits("QLineEdit") ||
                child->inherits("QProgressBar") || child->inherits("QPlainTextEdit") ||
                child->objectName() == QLatin1String("Histogram"))
                placed << child;
            if (child->inherits("QLabel") || child->inherits("QAbstractButton")) {
                const QSize need = child->minimumSizeHint();
                QVERIFY2(child->width() >= need.width() && child->height() >= need.height(),
                         qPrintable(child->objectName() + QStringLiteral(" is squeezed")));
            }
        }
        for (int i = 0; i < placed.size(); ++i)
            for (int j = i + 1; j < placed.size(); ++j) {
                if (placed[i]->isAncestorOf(placed[j]) || placed[j]->isAncestorOf(placed[i])) continue;
                const QRect a(placed[i]->mapTo(w, QPoint(0, 0)), placed[i]->size());
                const QRect b(placed[j]->mapTo(w, QPoint(0, 0)), placed[j]->size());
                QVERIFY2(!a.intersects(b), qPrintable(placed[i]->objectName() + QStringLiteral(" overlaps ") +
                                                      placed[j]->objectName()));
            }
        const QString shots = qEnvironmentVariable("BREVANT_FRAME_SHOTS");
        if (!shots.isEmpty()) {
            QDir().mkpath(shots);
            QVERIFY(w->grab().save(shots + QLatin1Char('/') + shotName + QStringLiteral(".png")));
        }
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        dataFile_ = dir_.filePath(QStringLiteral("groups.dat"));
        QFile data(dataFile_);
        QVERIFY(data.open(QIODevice::WriteOnly));
        data.write("2 2\r\n1 2 3 4\r\n");
        data.close();
        SetMessageHook([this](const QString& text) { messages_ << text; });
        SetQuestionHook([](const QString&) { return int(QMessageBox::No); });
        SetFileDialogHook([this](FileDialogKind, const QString& filter) {
            filters_ << filter;
            return dialogAnswers_.isEmpty() ? QString() : dialogAnswers_.takeFirst();
        });
        SetShowMainWindowHook([this] { ++mainShown_; });
        SetShowDataEditorHook([this] { ++editorShown_; });
    }

    void init() {
        messages_.clear();
        filters_.clear();
        dialogAnswers_.clear();
        mainShown_ = 0;
        editorShown_ = 0;
    }

    void cleanup() {
        for (int i = LoadedWindowCount() - 1; i >= 0; --i) LoadedWindow(i)->close();
        FlushDeletes();
        QCOMPARE(LoadedWindowCount(), 0);
    }

    void windowsFollowTheTable_data() {
        QTest::addColumn<QString>("name");
        for (const Expected& e : kWindows) QTest::newRow(e.name) << QString::fromUtf8(e.name);
    }
    void windowsFollowTheTable() {
        QFETCH(QString, name);
        const Expected& e = ExpectedFor(name);
        AnalysisWindow* w = Show(name);
        QVERIFY(w != nullptr);
        QCOMPARE(w->objectName(), name);
        QCOMPARE(w->windowTitle(), QString::fromUtf8(e.caption));
        for (const QString& spec : ButtonSpec(e)) {
            auto* button = w->findChild<QPushButton*>(NameOf(spec));
            QVERIFY2(button != nullptr, qPrintable(spec));
            QCOMPARE(button->text(), CaptionOf(spec));
        }
        QCOMPARE(w->findChildren<QPushButton*>().size(), 3);
        const QStringList counts{"  1,000", "  2,000", "  5,000", "10,000", QString::fromUtf8(e.fifthCaption)};
        for (int i = 0; i < 5; ++i) {
            auto* option = w->findChild<QRadioButton*>(QStringLiteral("Option1_%1").arg(i));
            QVERIFY(option != nullptr);
            QCOMPARE(option->text(), counts[i]);
            QCOMPARE(option->isChecked(), i == 0);
            QCOMPARE(option->parentWidget()->objectName(), QStringLiteral("Frame1"));
        }
        QVERIFY(w->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title().trimmed() == QStringLiteral("NReps"));
        auto* frame2 = w->findChild<QGroupBox*>(QStringLiteral("Frame2"));
        QCOMPARE(frame2 != nullptr, e.option2);
        if (e.option2) {
            QVERIFY(frame2->title().startsWith(QStringLiteral("     CI")));
            const QStringList levels{"90 %", "95 %", "99 %"};
            for (int i = 0; i < 3; ++i) {
                auto* option = w->findChild<QRadioButton*>(QStringLiteral("Option2_%1").arg(i));
                QVERIFY(option != nullptr);
                QCOMPARE(option->text(), levels[i]);
                QCOMPARE(option->isChecked(), i == 1);
            }
        } else {
            QVERIFY(w->findChild<QRadioButton*>(QStringLiteral("Option2_0")) == nullptr);
        }
        QCOMPARE(MenuText(w), QString::fromUtf8(e.menus));
        // Hidden until asked for or run; the histogram box is there from the start.
        QVERIFY(!w->findChild<QPlainTextEdit*>(QStringLiteral("txtFile"))->isVisible());
        QVERIFY(!w->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->isVisible());
        auto* bar2 = w->findChild<QProgressBar*>(QStringLiteral("ProgressBar2"));
        QCOMPARE(bar2 != nullptr, e.sortBar);
        if (bar2 != nullptr) QVERIFY(!bar2->isVisible());
        QVERIFY(w->findChild<QWidget*>(QStringLiteral("Histogram"))->isVisible());
    }

    void groupCaptionsAndProgressLabels() {
        for (const FrameCaptions& f : kFrameCaptions) {
            AnalysisWindow* w = Show(QString::fromUtf8(f.name));
            QCOMPARE(w->findChild<QGroupBox*>(QStringLiteral("Frame1"))->title(), QString::fromUtf8(f.frame1));
            auto* frame2 = w->findChild<QGroupBox*>(QStringLiteral("Frame2"));
            QCOMPARE(frame2 != nullptr, f.frame2 != nullptr);
            if (frame2 != nullptr) QCOMPARE(frame2->title(), QString::fromUtf8(f.frame2));
            QCOMPARE(w->findChild<QProgressBar*>(QStringLiteral("ProgressBar2")) != nullptr, f.progress2 != nullptr);
            QStringList labels;  // the labels beside the progress bars
            QWidget* rows = w->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->parentWidget();
            for (QLabel* label : rows->findChildren<QLabel*>()) labels << label->objectName() + '=' + label->text();
            QStringList expected;
            if (f.progress1 != nullptr) expected << QString::fromUtf8(f.progress1);
            if (f.progress2 != nullptr) expected << QString::fromUtf8(f.progress2);
            QCOMPARE(labels, expected);
            w->close();
        }
    }

    // Every menu entry runs its handler: 3 data file, 4 output file, 5 editor, 6 About, 7 description,
    // 8 return, 9 and 10 quit (an entry that asks first, answered Yes).
    void menuEntriesAct_data() { windowsFollowTheTable_data(); }
    void menuEntriesAct() {
        QFETCH(QString, name);
        SetQuestionHook([](const QString&) { return int(QMessageBox::Yes); });
        const auto restore = qScopeGuard([] { SetQuestionHook([](const QString&) { return int(QMessageBox::No); }); });
        const Expected& e = ExpectedFor(name);
        const QList<int> handlers = HandlerNumbers(e);
        const int entryCount = MenuEntries(Show(name)).size();
        QCOMPARE(entryCount, handlers.size());
        for (int i = 0; i < entryCount; ++i) {
            init();
            QPointer<AnalysisWindow> w = Show(name);
            QAction* entry = MenuEntries(w)[i];
            const QString what = name + QLatin1Char(' ') + entry->objectName();
            const int loadedBefore = LoadedWindowCount();
            entry->trigger();
            FlushDeletes();
            switch (handlers[i]) {
                case 3: QCOMPARE(filters_, QList<QString>{(e.dtFilter ? kDT : kD) + kTableFilterEntry}); break;
                case 4: QCOMPARE(filters_, QList<QString>{kD}); break;
                case 5: QVERIFY2(editorShown_ == 1, qPrintable(what)); break;
                case 6:
                    QCOMPARE(messages_.size(), 1);
                    if (*e.about != '\0') QCOMPARE(messages_[0], QString::fromUtf8(e.about));
                    else QVERIFY(!messages_[0].isEmpty());
                    break;
                case 7: QVERIFY(w->findChild<QPlainTextEdit*>(QStringLiteral("txtFile"))->isVisible()); break;
                case 8:
                    QVERIFY2(w.isNull(), qPrintable(what));
                    QCOMPARE(mainShown_, 1);
                    QCOMPARE(LoadedWindowCount(), loadedBefore - 1);
                    break;
                case 9:
                case 10:
                    QVERIFY2(w.isNull(), qPrintable(what));
                    QCOMPARE(LoadedWindowCount(), 0);
                    QCOMPARE(mainShown_, 0);  // a quit does not bring the main window back
                    break;
                default: QFAIL("unexpected handler number");
            }
            if (handlers[i] != 6) QVERIFY2(messages_.isEmpty(), qPrintable(what));  // cancelled dialogs say nothing
        }
    }

    void optionButtonsStoreTheirValues_data() { windowsFollowTheTable_data(); }
    void optionButtonsStoreTheirValues() {
        QFETCH(QString, name);
        const Expected& e = ExpectedFor(name);
        AnalysisWindow* w = Show(name);
        const int counts[] = {1000, 2000, 5000, 10000, e.fifthValue};
        for (int i : {4, 2, 0, 3, 1, 4}) {
            ClickCount(w, i);
            QCOMPARE(StoredValuesOf(name).resampleCount, counts[i]);
        }
        if (!e.option2) return;
        const float quantiles[] = {0.95f, 0.975f, 0.995f};
        for (int i : {2, 0, 1, 2}) {
            w->findChild<QRadioButton*>(QStringLiteral("Option2_%1").arg(i))->click();
            QCOMPARE(StoredValuesOf(name).quantile, quantiles[i]);
        }
        w->Option1_Click(7);  // not a button: nothing changes
        w->Option2_Click(-1);
        QCOMPARE(StoredValuesOf(name).resampleCount, e.fifthValue);
        QCOMPARE(StoredValuesOf(name).quantile, 0.995f);
    }

    // A run in a window just opened uses 1,000 and 0.975 whatever an earlier opening left stored; a click on
    // another count and back on the first uses 1,000 again.
    void freshWindowRunsWithDefaults_data() { windowsFollowTheTable_data(); }
    void freshWindowRunsWithDefaults() {
        QFETCH(QString, name);
        const Expected& e = ExpectedFor(name);
        StoredValuesOf(name).resampleCount = 50000;
        StoredValuesOf(name).quantile = 0.995f;
        RecordingWindow* w = ShowRecording(name);
        ChooseData(w);
        w->RunButton()->click();
        QCOMPARE(w->runs.size(), 1);
        QCOMPARE(w->runs[0].settings.resamples, 1000);
        QCOMPARE(w->runs[0].dataFile, dataFile_);
        if (e.option2) QCOMPARE(w->runs[0].settings.confidence, 0.975f);
        ClickCount(w, 4);
        w->RunButton()->click();
        QCOMPARE(w->runs.last().settings.resamples, e.fifthValue);
        ClickCount(w, 0);
        w->RunButton()->click();
        QCOMPARE(w->runs.last().settings.resamples, 1000);
        if (e.option2) {
            w->ConfidenceButton(0)->click();
            w->RunButton()->click();
            QCOMPARE(w->runs.last().settings.confidence, 0.95f);
        }
        QVERIFY(messages_.isEmpty());
    }

    // "First open a file from the file menu": with no file, with an output file alone, and with a data file
    // chosen only in an earlier opening. Where the window hides its description first, a refused run hides
    // it; elsewhere the description stays as it was.
    void runNeedsADataFileChosenInThisOpening_data() { windowsFollowTheTable_data(); }
    void runNeedsADataFileChosenInThisOpening() {
        QFETCH(QString, name);
        const Expected& e = ExpectedFor(name);
        RecordingWindow* w = ShowRecording(name);
        const QString message = QStringLiteral("First open a file from the file menu");
        w->RunButton()->click();
        QCOMPARE(messages_, QStringList{message});

        Answer(dir_.filePath(QStringLiteral("out.dat")));
        w->mnuOpenOut_Click();
        if (e.description != nullptr) w->mnuDescript_Click();
        w->RunButton()->click();
        QCOMPARE(messages_, (QStringList{message, message}));
        if (e.description != nullptr) QCOMPARE(w->DescriptionBox()->isVisible(), !e.hidesDescriptionFirst);

        ChooseData(w);
        w->close();
        FlushDeletes();
        QCOMPARE(StoredValuesOf(name).dataFile, dataFile_);  // kept, but it does not count in a new opening
        RecordingWindow* again = ShowRecording(name);
        again->RunButton()->click();
        QCOMPARE(messages_.size(), 3);
        QCOMPARE(messages_.last(), message);
        QVERIFY(again->runs.isEmpty());
        ChooseData(again);
        again->RunButton()->click();
        QCOMPARE(again->runs.size(), 1);
        QCOMPARE(QFile::decodeName(again->runs[0].settings.outputPath.c_str()),
                 dir_.filePath(QStringLiteral("out.dat")));  // from the earlier opening
    }

    // The description box is rebuilt from empty each time, enabled except where the table disables it, and
    // hidden by the next run.
    void descriptionShowsOnceAndHidesAtRun_data() { windowsFollowTheTable_data(); }
    void descriptionShowsOnceAndHidesAtRun() {
        QFETCH(QString, name);
        const Expected& e = ExpectedFor(name);
        if (e.description == nullptr) {
            QVERIFY(Show(name)->findChild<QAction*>(QStringLiteral("mnuDescript")) == nullptr);
            return;
        }
        const QString saved = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_.path()));
        QFile help(QString::fromUtf8(e.description));
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.write("First line of the description\nSecond line\n");
        help.close();
        RecordingWindow* w = ShowRecording(name);
        w->mnuDescript_Click();
        w->mnuDescript_Click();
        QDir::setCurrent(saved);
        QPlainTextEdit* box = w->DescriptionBox();
        QVERIFY(box->isVisible());
        QCOMPARE(box->toPlainText(), QStringLiteral("First line of the description\nSecond line\n"));
        QCOMPARE(box->isEnabled(), !e.descriptionDisabled);
        ChooseData(w);
        w->RunButton()->click();
        QVERIFY(!box->isVisible());
        QCOMPARE(w->runs.size(), 1);
    }

    void progressBarsShowOnlyOnceARunDrivesThem_data() { windowsFollowTheTable_data(); }
    void progressBarsShowOnlyOnceARunDrivesThem() {
        QFETCH(QString, name);
        RecordingWindow* w = ShowRecording(name);
        ClickCount(w, 1);
        QVERIFY(!w->ProgressBar1()->isVisible());
        ChooseData(w);
        w->RunButton()->click();
        QVERIFY(w->ProgressBar1()->isVisible());
        QCOMPARE(w->ProgressBar1()->minimum(), 1);
        QCOMPARE(w->ProgressBar1()->maximum(), 2000);
        QCOMPARE(w->ProgressBar1()->value(), 2000);
        if (QProgressBar* bar2 = w->ProgressBar2()) {
            QVERIFY(bar2->isVisible());
            QCOMPARE(bar2->value(), 1999);
        }
    }

    // Return unloads that window only; its stored values stay, and another window keeps its state.
    void returnUnloadsOnlyThatWindow() {
        QPointer<AnalysisWindow> indepT = Show(QStringLiteral("IndepT"));
        AnalysisWindow* bootstMean = Show(QStringLiteral("BootstMean"));
        ClickCount(bootstMean, 2);
        bootstMean->ConfidenceButton(2)->click();
        ChooseData(bootstMean);
        ClickCount(indepT, 3);
        ChooseData(indepT);
        Answer(dir_.filePath(QStringLiteral("t.dat")));
        indepT->mnuOpenOut_Click();
        QCOMPARE(LoadedWindowCount(), 2);

        indepT->findChild<QPushButton*>(QStringLiteral("cmdMainMenu"))->click();
        FlushDeletes();
        QVERIFY(indepT.isNull());
        QCOMPARE(mainShown_, 1);
        QCOMPARE(LoadedWindowCount(), 1);
        QCOMPARE(LoadedWindow(0), bootstMean);
        QVERIFY(bootstMean->findChild<QRadioButton*>(QStringLiteral("Option1_2"))->isChecked());
        QVERIFY(bootstMean->ConfidenceButton(2)->isChecked());
        QVERIFY(bootstMean->DataFileChosen());

        const StoredValues& kept = StoredValuesOf(QStringLiteral("IndepT"));
        QCOMPARE(kept.resampleCount, 10000);
        QCOMPARE(kept.dataFile, dataFile_);
        QCOMPARE(kept.outputFile, dir_.filePath(QStringLiteral("t.dat")));
        AnalysisWindow* reopened = Show(QStringLiteral("IndepT"));
        QVERIFY(reopened->CountButton(0)->isChecked());
        QVERIFY(!reopened->DataFileChosen());
        QCOMPARE(StoredValuesOf(QStringLiteral("IndepT")).resampleCount, 10000);

        // The title bar's close button returns the same way.
        QPointer<AnalysisWindow> closing = reopened;
        reopened->close();
        FlushDeletes();
        QVERIFY(closing.isNull());
        QCOMPARE(mainShown_, 2);
    }

    void oneWindowPerName() {
        QWidget* first = ShowAnalysisWindow(QStringLiteral("Corr1"));
        QVERIFY(first != nullptr);
        QCOMPARE(ShowAnalysisWindow(QStringLiteral("Corr1")), first);
        QCOMPARE(LoadedWindowCount(), 1);
        QVERIFY(first->isVisible());
        QVERIFY(ShowAnalysisWindow(QStringLiteral("NoSuchWindow")) == nullptr);
        QVERIFY(ShowAnalysisWindow(QString()) == nullptr);
        QCOMPARE(LoadedWindowCount(), 1);
        QVERIFY(!RegisterAnalysisWindowFactory(QStringLiteral("NoSuchWindow"), {}));
    }

    // The quit button, with several analysis windows and another loaded window (the editor's place), unloads
    // them all and ends the program's event loop.
    void quitEndsTheProgram() {
        Show(QStringLiteral("OnewayBoot"));
        Show(QStringLiteral("PairedCorr"));
        AnalysisWindow* last = Show(QStringLiteral("TwoMedianBootTest"));
        auto* editor = new QWidget;
        editor->setAttribute(Qt::WA_DeleteOnClose);
        RegisterLoadedWindow(editor);
        editor->show();
        QPointer<QWidget> editorAlive = editor;
        QTimer::singleShot(0, last, [last] { last->findChild<QPushButton*>(QStringLiteral("Quit"))->click(); });
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(7); });
        guard.start(5000);
        const int code = QApplication::exec();
        guard.stop();
        FlushDeletes();
        QCOMPARE(code, 0);
        QCOMPARE(LoadedWindowCount(), 0);
        QVERIFY(editorAlive.isNull());
        QCOMPARE(mainShown_, 0);
    }

    // A data file that cannot be read is refused when chosen; a cancelled dialog changes nothing; an output
    // file that is the data file itself, in another spelling or as a hard link, stops the run before it
    // writes over the data.
    void fileChoicesThatWouldFail() {
        RecordingWindow* w = ShowRecording(QStringLiteral("OnewayRandom"));
        ChooseData(w);
        Answer(dir_.filePath(QStringLiteral("missing.dat")));
        w->mnuOpenFile_Click();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(QStringLiteral("missing.dat")));
        Answer(dir_.path());
        w->mnuOpenFile_Click();
        QCOMPARE(messages_.size(), 2);
        w->mnuOpenFile_Click();  // cancelled
        w->mnuOpenOut_Click();
        QCOMPARE(messages_.size(), 2);
        QCOMPARE(StoredValuesOf(QStringLiteral("OnewayRandom")).dataFile, dataFile_);
        QVERIFY(w->DataFileChosen());

        // Choosing an existing file as output asks first; a user who says Yes is still stopped at the run.
        QStringList questions;
        SetQuestionHook([&questions](const QString& text) {
            questions << text;
            return int(QMessageBox::Yes);
        });
        Answer(dir_.path() + QStringLiteral("/./groups.dat"));
        w->mnuOpenOut_Click();
        QCOMPARE(questions.size(), 1);
        w->RunButton()->click();
        QCOMPARE(messages_.size(), 3);
        QVERIFY(w->runs.isEmpty());
        QVERIFY2(messages_[2].contains(QStringLiteral("/./groups.dat\" is the data file itself")),
                 qPrintable(messages_[2]));
        const QString link = dir_.filePath(QStringLiteral("same-data.dat"));
        std::filesystem::create_hard_link(QFile::encodeName(dataFile_).toStdString(),
                                          QFile::encodeName(link).toStdString());
        Answer(link);
        w->mnuOpenOut_Click();
        w->RunButton()->click();
        QCOMPARE(messages_.size(), 4);
        QVERIFY(w->runs.isEmpty());
        QVERIFY2(messages_[3].contains(QStringLiteral("is the data file itself")), qPrintable(messages_[3]));
        QFile data(dataFile_);
        QVERIFY(data.open(QIODevice::ReadOnly));
        QCOMPARE(data.readAll(), QByteArray("2 2\r\n1 2 3 4\r\n"));
        QCOMPARE(questions.size(), 2);
        SetQuestionHook([](const QString&) { return int(QMessageBox::No); });
    }

    // Every window at its default size, with ten result boxes, before and during a run with its description
    // showing: nothing cut off, squeezed or overlapping. Set BREVANT_FRAME_SHOTS to a folder to keep the
    // pictures.
    void layoutFitsAtDefaultSize_data() { windowsFollowTheTable_data(); }
    void layoutFitsAtDefaultSize() {
        QFETCH(QString, name);
        auto* w = new FullWindow(*FindWindowRow(name));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        // A label sits left of its box on the same line; a second box follows the first.
        auto* label = w->findChild<QLabel*>(QStringLiteral("Label2_0"));
        auto* less = w->findChild<QLineEdit*>(QStringLiteral("txtNumLess"));
        auto* greater = w->findChild<QLineEdit*>(QStringLiteral("txtNumGreater"));
        QVERIFY(label != nullptr && less != nullptr && greater != nullptr);
        QVERIFY(label->geometry().right() < less->geometry().left());
        QVERIFY(less->geometry().right() < greater->geometry().left());
        QVERIFY(qAbs(label->geometry().center().y() - less->geometry().center().y()) <= 2);
        QVERIFY(less->isReadOnly() && greater->isReadOnly());
        QVERIFY(w->findChild<QLineEdit*>(QStringLiteral("txtObtT"))->y() < less->y());  // in the order added
        CheckLayout(w, name);
        if (QTest::currentTestFailed()) return;
        w->ShowProgress1(500, 1000);
        w->ShowProgress2(300, 1000);
        w->mnuDescript_Click();
        QCoreApplication::processEvents();
        CheckLayout(w, name + QStringLiteral("-run"));
    }

    // A class registered for a window name is what opens under that name.
    void registeredClassOpens() {
        QVERIFY(RegisterAnalysisWindowFactory(QStringLiteral("Corr1"),
                                              [](const WindowRow& row) { return new RecordingWindow(row); }));
        auto* w = dynamic_cast<RecordingWindow*>(ShowAnalysisWindow(QStringLiteral("Corr1")));
        QVERIFY(w != nullptr);
        ChooseData(w);
        w->RunButton()->click();
        QCOMPARE(w->runs.size(), 1);
    }

    // Without a class of its own, a window says plainly that its procedure is not available.
    void plainFrameRunSaysNotAvailable() {
        auto* w = new AnalysisWindow(*FindWindowRow(QStringLiteral("MediationBoot")));
        w->show();
        ChooseData(w);
        w->RunButton()->click();
        QCOMPARE(messages_.size(), 1);
        QVERIFY(messages_[0].contains(QStringLiteral("not available")));
    }
};

BREVANT_QTEST(AnalysisWindowTest)
}  // namespace BREVANT_TEST_UNIT
#include "AnalysisWindow_test.moc"
