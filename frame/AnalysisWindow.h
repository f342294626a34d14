// The frame every analysis window is built on: the resample-count and confidence buttons, data-file and
// output-file choice, description box, About message, return to the main window, quit, the run start,
// progress bars and the histogram box, all laid out from the window's row in the window table.
//
// Control names (objectName), so tests and later code can find them:
//   Frame1, Frame2            the "NReps" and "CI %" group boxes
//   Option1_0 .. Option1_4    the count buttons Option1(0)..Option1(4)
//   Option2_0 .. Option2_2    the confidence buttons Option2(0)..Option2(2)
//   other control arrays follow the same scheme: element i of Name is "Name_i" (Label2(0) is "Label2_0")
//   txtFile, ProgressBar1, ProgressBar2, Histogram, and the row's button, label and menu names.
//   Beside them: the status line's lblDataFile, lblOutputFile and lblRunInfo, the mark lblStale over results
//   left from an earlier run, the Edit menu mnuEdit with mnuCopyResults and mnuSeeds, and the entry
//   mnuFullDescription (in the menu of the window's Description entry, else in a Help menu of its own).
//   Each QMenu and its menuAction() carry the menu's name; each entry's QAction carries the entry's name.
//
// A window for one analysis derives from AnalysisWindow and, in its constructor, takes its result boxes and
// its procedure from the catalogue (UseCatalogueProcedure); the frame does the rest of every run: it reads
// and checks the data, runs the resamples off the window's thread (RunDriver.h), writes the output file,
// and shows the histogram, the result boxes and the run's notes (lblNotes).
#pragma once

#include "frame/WindowTable.h"
#include "analysis/ColumnRoles.h"
#include "analysis/Procedure.h"
#include "frame/RunDriver.h"
#include "frame/Shell.h"
#include "engine/Module1.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <utility>
#include <string>
#include <vector>

#include "plot/Report.h"

class QAction;
class QButtonGroup;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace brevant::frame {

class HistogramBox;
class StatusLabel;

// Menu entries the frame adds beside those of the window table (the picture box's "Save Histogram As..."
// and "Plot..." and the window's "Save Report..." at the end of the first menu, after a separator) carry
// this property, set to true.
inline constexpr char kAddedEntryProperty[] = "addedByFrame";

// The four values each analysis window keeps for the whole run of the program, whether it is open or not.
// The output file belongs with its data file: choosing another data file forgets it.
struct StoredValues {
    std::int32_t resampleCount = 0;  // 0 until a count button is clicked or a run starts
    float quantile = 0.0f;           // likewise for the confidence buttons
    QString dataFile;
    QString outputFile;
    std::optional<ColumnChoice> columns;  // the data file's chosen columns when it is a table
};
// The store of the window of that name (created empty on first use).
StoredValues& StoredValuesOf(const QString& windowName);

// What a run is given once the run start has passed: the procedure's settings (analysis/Procedure.h; the
// output path in the file system's encoding, empty for none) and the data file to read.
struct RunRequest {
    RunSettings settings;
    QString dataFile;
};

// What the results on show came from: the status line tells it, Copy Results heads its table with it, and
// `brevant-cli --seed` repeats the run from its seeds.
struct RunRecord {
    QString dataFile;
    std::int32_t resamples = 0;
    QString level;  // the confidence button's caption ("95 %"); empty in windows without a level
    Seeds seeds;    // the generator's state as the resamples began
    bool stopped = false;  // the run stopped partway: only the boxes known before the resamples show
    QStringList options;   // the window's own choices as batch-tool options
    QString columns;       // a table's columns read (ColumnsText); empty for counts-first text
    QString choice;        // the columns chosen as the data file's line shows them; empty for counts-first text
    QList<std::pair<QString, QString>> choices;  // the same as the window names them ("Bootstrap Errors", "yes")
    QString outputFile;                          // the file the run writes its resampled values to; empty: none
};

// One row of an analysis window's result area: the label (name and caption) to the left of a read-only
// text box; secondBox, when given, is a second box beside the first under the same label. The boxes are
// named as the procedure names them in its RunResult (analysis/Procedure.h ResultBox::control).
struct ResultRow {
    QString box;
    QString label;
    QString caption;
    QString secondBox = {};
};

class AnalysisWindow : public QMainWindow, public QuitGuard {
    Q_OBJECT

public:
    explicit AnalysisWindow(const WindowRow& row, QWidget* parent = nullptr);
    ~AnalysisWindow() override;

    const WindowRow& Row() const { return row_; }
    StoredValues& Stored() const;
    // True once a data file has been chosen in this opening of the window.
    bool DataFileChosen() const { return dataFileChosen_; }

    QRadioButton* CountButton(int index) const;
    QRadioButton* ConfidenceButton(int index) const;  // nullptr in windows without Option2
    QPlainTextEdit* DescriptionBox() const { return txtFile_; }
    QProgressBar* ProgressBar1() const { return progress1_; }
    QProgressBar* ProgressBar2() const { return progress2_; }  // nullptr in windows without a sort bar
    HistogramBox* Histogram() const { return histogram_; }
    QPushButton* RunButton() const { return runButton_; }
    QLabel* NotesLabel() const { return notes_; }
    // True while this window's run is in progress.
    bool Running() const;
    // The run whose results are on show, if any; and whether a later run failed to start, leaving them.
    const std::optional<RunRecord>& ShownRun() const { return shown_; }
    bool ResultsStale() const { return stale_; }
    // The results as a tab-separated table for a spreadsheet: the run's procedure, data file, output file,
    // resamples, level, the window's own choices and seeds, then each label with its boxes' texts as shown,
    // then the notes. Empty before a run.
    QString ResultsTable() const;
    QAction* CopyResultsAction() const { return copyResults_; }
    // Makes the file the window's data file, as the data-file menu entry does once a name is chosen: a file
    // that cannot be opened is refused; a table first shows the column chooser (AnalysisWindowTable.cpp),
    // and cancelling it keeps the earlier data file. True when the file is now the window's.
    bool UseDataFile(const QString& name);
    QAction* ChooseColumnsAction() const { return chooseColumns_; }
    QAction* SeedsAction() const { return seedsAction_; }
    // The window that shows the whole description, once asked for (nullptr before).
    QWidget* DescriptionWindow() const { return viewer_; }

    // A quit asks first while this window's run is in progress (Yes stops the run).
    bool MayQuit() override;
    // The report of the run on show (plot/Report.h), once it has finished; its plot reads the picture box's
    // values, so it lasts as long as they do (AnalysisWindowReport.cpp).
    std::optional<plot::ReportContent> ReportContent() const;
    QAction* SaveReportAction() const { return saveReport_; }  // "Save Report..."

    // Progress: makes the bar visible with minimum 1, maximum `maximum` and value `value`.
    void ShowProgress1(std::int32_t value, std::int32_t maximum);
    void ShowProgress2(std::int32_t value, std::int32_t maximum);  // ignored without ProgressBar2
    // A SortArray progress callback that drives ProgressBar2.
    SortProgress SortProgressOnBar2();

public slots:
    void Option1_Click(int index);  // handler 1
    void Option2_Click(int index);  // handler 2
    void mnuOpenFile_Click();       // handler 3
    void mnuOpenOut_Click();        // handler 4
    void mnuNewFile_Click();        // handler 5
    void mnuAbout_Click();          // handler 6
    void mnuDescript_Click();       // handler 7
    void cmdMainMenu_Click();       // handler 8
    void Quit_Click();              // handler 9
    void mnuExitItem_Click();       // handler 10
    void cmdRun_Click();            // the run start, then RunProcedure
    void CopyResults();             // ResultsTable() onto the clipboard
    void ChooseColumns_Click();     // the chooser again for the table chosen (Edit > Choose Columns...)
    void mnuSeeds_Click();          // Edit > Seeds...: the seeds the next run starts from
    void ShowFullDescription();     // the description file, whole, in a window of its own
    // "Save Report...": asks for a file name and writes the report as an HTML page (or, named .pdf, a PDF).
    void SaveReport();

protected:
    // The analysis's own run, called once the run start has passed. The frame's own runs the procedure
    // named by UseProcedure, and without one says plainly that the procedure is not available.
    virtual void RunProcedure(const RunRequest& request);
    void UseProcedure(PrepareRun prepare) { prepare_ = std::move(prepare); }
    const PrepareRun& Preparation() const { return prepare_; }
    // The window's procedure from the catalogue (analysis/catalogue/): its result boxes, added in window
    // order (boxes sharing a label on one row), and its run, with the window's own choices (RunChoices).
    void UseCatalogueProcedure();
    virtual Choices RunChoices() const { return {}; }

    // Result area, between the options and the histogram: one row per result box, in the order added.
    QLineEdit* AddResultBox(const ResultRow& row);  // returns the (first) box
    void AddResultBoxes(std::initializer_list<ResultRow> rows);
    QLineEdit* ResultBoxNamed(const QString& name) const;
    // A widget on a result row of its own (a note, a check box that belongs with the results).
    void AddResultWidget(QWidget* widget);
    // A widget under the option groups on the left (a check box that sets how the run works).
    void AddOptionWidget(QWidget* widget);

    // The batch tool's options for this window's own choices (OnewayBoot's "--errors"), read as a run
    // starts, so the status line can say how brevant-cli repeats the run; and the same choices as the window
    // names them, for Copy Results.
    virtual QStringList BatchToolOptions() const { return {}; }
    virtual QList<std::pair<QString, QString>> ChoiceSettings() const { return {}; }
    // False in a window that keeps an output-file name but never writes the file: choosing an existing
    // file then needs no question, and the status line says the file is not written.
    virtual bool WritesOutputFile() const;

    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

public:
    // The first show sizes the window to its layout, result boxes included, rather than to a share of the
    // screen.
    void setVisible(bool visible) override;

private:
    void BuildMenus();
    void AddPictureEntries();
    void AddDescriptionEntry();
    void AddDescriptionHint(const QString& menuCaption);
    void RunEntry(const MenuEntry& entry);
    // While this window's run is in progress: asks whether to stop it (question names what else happens);
    // true when there is no run or the user says Yes.
    bool MayStopRun(const QString& question);
    void FollowRunGate(bool busy);
    void KeepForReport(const RunResult& result, const QStringList& notes, bool outputWritten);
    // The status line, the Edit menu and the stale mark (AnalysisWindowStatus.cpp).
    void BuildStatusLine();
    void BuildEditMenu();
    void OfferCopyOn(QLineEdit* box);
    void ShowFileStatus();
    void ShowRunStatus();
    void BeginRunRecord(const RunRequest& request);
    void EndRunRecord(bool stopped);
    void MarkResultsStale();
    bool ConfirmOutputFile(const QString& name);
    QWidget* BuildOptions();
    QWidget* BuildProgressRows();
    QWidget* BuildButtons();
    void RunHandler(Handler handler);
    // Tables (AnalysisWindowTable.cpp): the Edit menu's entry, the chooser, and a run's data laid out from the
    // chosen columns.
    void BuildColumnsEntry();
    bool ChooseTableColumns(const QString& name);
    DataFile OpenRunData(const QString& path);
    int NextResultRow();
    void ShowBar(QProgressBar* bar, std::int32_t value, std::int32_t maximum);
    bool OutputFileRefused(const RunRequest& request);
    // The run (AnalysisWindowRun.cpp).
    void StartRun(const RunRequest& request);
    void ShowRunProgress(const RunControl& control);
    void FinishRun(RunResult&& result);
    void FailRun(const QString& message);
    void ShowNotes(const QStringList& notes);
    void ShowBoxes(std::span<const ResultBox> boxes);

    const WindowRow& row_;
    bool dataFileChosen_ = false;
    QButtonGroup* option1_ = nullptr;
    QButtonGroup* option2_ = nullptr;
    QVBoxLayout* optionsLayout_ = nullptr;
    QGridLayout* resultLayout_ = nullptr;
    int resultRows_ = 0;
    QPlainTextEdit* txtFile_ = nullptr;
    QProgressBar* progress1_ = nullptr;
    QProgressBar* progress2_ = nullptr;
    HistogramBox* histogram_ = nullptr;
    QPushButton* runButton_ = nullptr;
    QLabel* notes_ = nullptr;
    PrepareRun prepare_;
    RunDriver* driver_ = nullptr;
    RunSettings running_;  // the settings of the run in progress
    QString unreadNote_;   // items of its data file the run in progress did not read
    std::optional<RunRecord> starting_;  // the run in progress
    std::optional<RunRecord> shown_;     // the run whose results are on show
    bool stale_ = false;
    bool stopAgreed_ = false;  // the user has agreed to stop the run in progress (one question per quit)
    StatusLabel* dataStatus_ = nullptr;
    StatusLabel* outputStatus_ = nullptr;
    StatusLabel* runStatus_ = nullptr;
    QLabel* staleMark_ = nullptr;
    QAction* copyResults_ = nullptr;
    QAction* chooseColumns_ = nullptr;
    QString tableNote_;              // rows of a table the run in progress left out
    QString runColumns_;             // the columns it reads (ColumnsText)
    QStringList runColumnOptions_;   // and the batch tool's --columns and --group for them
    QAction* seedsAction_ = nullptr;
    QWidget* viewer_ = nullptr;
    QAction* saveReport_ = nullptr;
    struct ReportFigures {
        std::vector<ResultBox> boxes;
        std::vector<std::string> notes, messages;
        std::string outputFile;
    };
    std::optional<ReportFigures> reportFigures_;  // the finished run on show
};

// A result box's text as the window shows it: three decimals in the user's locale (QLocale()) or the
// general number text, by the box's format; non-finite values as inf, -inf or nan.
QString ResultBoxText(const ResultBox& box);

// Each window's class is registered here by name (the program does it at start, windows/RegisterWindows.h),
// so the frame knows no window; a name without a registered class opens as the plain frame. Returns false for a name that is not in the window table.
using AnalysisWindowFactory = std::function<AnalysisWindow*(const WindowRow& row)>;
bool RegisterAnalysisWindowFactory(const QString& windowName, AnalysisWindowFactory factory);

// The open window of that name, or nullptr.
AnalysisWindow* OpenAnalysisWindow(const QString& windowName);

}  // namespace brevant::frame
