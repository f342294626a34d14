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

// The file dialog (CommonDialog1). filter uses the "Description(*.ext)|*.ext|..." form.
enum class FileDialogKind { Open, Save };
QString ShowFileDialog(QWidget* parent, FileDialogKind kind, const QString& filter);

// Qt's form of a "Description(*.ext)|*.ext" filter: "Description(*.ext);;...".
QString QtFilter(const QString& pipeFilter);

// Test seams: while set, these replace the real dialogs (pass {} to restore them).
using MessageHook = std::function<void(const QString& text)>;
using QuestionHook = std::function<int(const QString& text)>;
using FileDialogHook = std::function<QString(FileDialogKind kind, const QString& filter)>;
void SetMessageHook(MessageHook hook);
void SetQuestionHook(QuestionHook hook);
void SetFileDialogHook(FileDialogHook hook);

}  // namespace brevant::frame
