#include "analysis/frame/Dialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace brevant::frame {

namespace {
MessageHook messageHook;
QuestionHook questionHook;
FileDialogHook fileDialogHook;
}  // namespace

void SetMessageHook(MessageHook hook) { messageHook = std::move(hook); }
void SetQuestionHook(QuestionHook hook) { questionHook = std::move(hook); }
void SetFileDialogHook(FileDialogHook hook) { fileDialogHook = std::move(hook); }

void ShowMessage(QWidget* parent, const QString& text) {
    if (messageHook) {
        messageHook(text);
        return;
    }
    QMessageBox::information(parent, kProgramTitle, text, QMessageBox::Ok);
}

int AskYesNoCancel(QWidget* parent, const QString& text) {
    if (questionHook) return questionHook(text);
    return QMessageBox::question(parent, kProgramTitle, text,
                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
}

QString QtFilter(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The description normally names its pattern already; Qt reads the pattern from the parentheses.
        QString description = parts[i];
        if (!description.contains(parts[i + 1])) description += QStringLiteral(" (%1)").arg(parts[i + 1]);
        entries << description;
    }
    return entries.join(QStringLiteral(";;"));
}

QString ShowFileDialog(QWidget* parent, FileDialogKind kind, const QString& filter) {
    if (fileDialogHook) return fileDialogHook(kind, filter);
    // The open dialog accepts names that do not exist yet: the output file is chosen with it too.
    if (kind == FileDialogKind::Save) return QFileDialog::getSaveFileName(parent, kProgramTitle, {}, QtFilter(filter));
    QFileDialog dialog(parent, kProgramTitle, {}, QtFilter(filter));
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

}  // namespace brevant::frame
