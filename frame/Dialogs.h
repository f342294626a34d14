// Seams for the two kinds of modal dialog, so tests can answer them without a modal loop.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace brevant::frame {

inline const QString kProgramTitle = QStringLiteral("Brevant Procedures");

// A message box with the text, an OK button only and the program's title as caption.
void ShowMessage(QWidget* parent, const QString& text);

// A question with Yes / No / Cancel; returns the QMessageBox::StandardButton chosen.
int AskYesNoCancel(QWidget* parent, const QString& text);

// A Yes / No question (No is the default); true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);

// The file dialog (CommonDialog1). filter uses the "Description(*.ext)|*.ext|..." form.
enum class FileDialogKind { Open, Save };
struct FileDialogSpec {
    FileDialogKind kind = FileDialogKind::Open;
    QString title;  // what the dialog is for: "Open data file"; the program's title when empty
    QString filter;
    // Save: a name typed without a suffix gets the chosen filter's ("results" -> "results.dat") when the
    // filter is a single "*.ext" pattern; the dialog then asks about replacing that file, not the bare name.
    bool addFilterSuffix = false;
};
QString ShowFileDialog(QWidget* parent, const FileDialogSpec& spec);

// The examples folder: in the working directory, else the installed or source-tree one; empty when none.
// The open dialog lists it in its side bar.
QString ExamplesFolder();

// The suffix of a single "*.ext" filter pattern ("dat"), or empty.
QString FilterSuffix(const QString& pattern);
// The name with ".suffix" added when it has none ("a" -> "a.dat", "a." -> "a.dat", "a.txt" stays).
QString WithSuffix(const QString& name, const QString& suffix);

// Dialog titles, by purpose.
inline const QString kOpenDataFileTitle = QStringLiteral("Open data file");
inline const QString kChooseOutputFileTitle = QStringLiteral("Choose output file");
inline const QString kSaveHistogramTitle = QStringLiteral("Save histogram");
inline const QString kSaveDataFileTitle = QStringLiteral("Save data file");
inline const QString kExportPlotTitle = QStringLiteral("Export plot");

// Qt's form of a "Description(*.ext)|*.ext" filter: "Description(*.ext);;...".
QString QtFilter(const QString& pipeFilter);

// Test seams: while set, these replace the real dialogs (pass {} to restore them). The question hook
// answers both kinds of question; a file dialog hook's name gets the filter suffix as the real dialog would
// add it (with the first filter chosen).
using MessageHook = std::function<void(const QString& text)>;
using QuestionHook = std::function<int(const QString& text)>;
using FileDialogHook = std::function<QString(FileDialogKind kind, const QString& filter)>;
void SetMessageHook(MessageHook hook);
void SetQuestionHook(QuestionHook hook);
void SetFileDialogHook(FileDialogHook hook);

}  // namespace brevant::frame
