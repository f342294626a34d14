// Seams for the two kinds of modal dialog, so tests can answer them without a modal loop.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace brevant::frame {

inline const QString kProgramTitle = QStringLiteral("Brevant Procedures");

// A message box with the text, an OK button only and the program's title as caption.
void ShowMessage(QWidget* parent, const QString& text);

// A question with Yes / No / Cancel; returns the QMessageBox::StandardButton chosen.
int AskYesNoCancel(QWidget* parent, const QString& text);

// A Yes / No question (No is the default); true for Yes.
bool AskYesNo(QWidget* parent, const QString& text);

// A line of text asked for in a small dialog (title, the label above the box, the box's first text); none
// when cancelled.
std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& label, const QString& text);

// The file dialog (CommonDialog1). filter uses the "Description(*.ext)|*.ext|..." form.
//
// Every file dialog opens in the folder of the last file chosen in any of them, kept between sessions
// (QSettings, LastFolderKey); before the first choice an open dialog starts in the examples folder and a save
// dialog in the user's documents. One rule adds a suffix (WithSuffix): a name typed without one gets the
// chosen filter's ("results" -> "results.dat") when that filter is a single "*.ext" pattern, in every save
// dialog and in an open dialog that asks for it; the dialog then asks about replacing that file, not the bare
// name.
enum class FileDialogKind { Open, Save };
struct FileDialogSpec {
    FileDialogKind kind = FileDialogKind::Open;
    QString title;  // what the dialog is for: "Open data file"; the program's title when empty
    QString filter;
    bool addFilterSuffix = false;  // an open dialog that names a file to create (the output file)
};
QString ShowFileDialog(QWidget* parent, const FileDialogSpec& spec);
inline const QString kLastFolderKey = QStringLiteral("FileDialogs/LastFolder");
// The folder a file dialog opens in now.
QString StartFolder(FileDialogKind kind);

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
// add it (with the first filter chosen), and is not remembered as the last folder; the text hook answers
// AskText (none: cancelled).
using MessageHook = std::function<void(const QString& text)>;
using QuestionHook = std::function<int(const QString& text)>;
using FileDialogHook = std::function<QString(FileDialogKind kind, const QString& filter)>;
using TextHook = std::function<std::optional<QString>(const QString& label, const QString& text)>;
void SetMessageHook(MessageHook hook);
void SetQuestionHook(QuestionHook hook);
void SetFileDialogHook(FileDialogHook hook);
void SetTextHook(TextHook hook);

}  // namespace brevant::frame
