#include "frame/Dialogs.h"

#include "engine/BuildInfo.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QStringList>
#include <QTreeView>

namespace brevant::frame {

namespace {
MessageHook messageHook;
QuestionHook questionHook;
FileDialogHook fileDialogHook;
TextHook textHook;
}  // namespace

void SetMessageHook(MessageHook hook) { messageHook = std::move(hook); }
void SetQuestionHook(QuestionHook hook) { questionHook = std::move(hook); }
void SetFileDialogHook(FileDialogHook hook) { fileDialogHook = std::move(hook); }
void SetTextHook(TextHook hook) { textHook = std::move(hook); }

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

bool AskYesNo(QWidget* parent, const QString& text) {
    if (questionHook) return questionHook(text) == QMessageBox::Yes;
    return QMessageBox::question(parent, kProgramTitle, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<QString> AskText(QWidget* parent, const QString& title, const QString& label, const QString& text) {
    if (textHook) return textHook(label, text);
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title.isEmpty() ? kProgramTitle : title);
    dialog.setLabelText(label);
    dialog.setTextValue(text);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue();
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

QString FilterSuffix(const QString& pattern) {
    const QString trimmed = pattern.trimmed();
    if (!trimmed.startsWith(QStringLiteral("*.")) || trimmed.contains(QLatin1Char(';')) ||
        trimmed.contains(QLatin1Char(' ')))
        return {};
    const QString suffix = trimmed.mid(2);
    return suffix.contains(QLatin1Char('*')) || suffix.contains(QLatin1Char('?')) ? QString() : suffix;
}

QString WithSuffix(const QString& name, const QString& suffix) {
    if (name.isEmpty() || suffix.isEmpty() || !QFileInfo(name).suffix().isEmpty()) return name;
    if (name.endsWith(QLatin1Char('/')) || QFileInfo(name).isDir()) return name;  // a folder, not a file name
    return name.endsWith(QLatin1Char('.')) ? name + suffix : name + QLatin1Char('.') + suffix;
}

namespace {

// The pattern of each filter entry, in order: "*.dat".
QStringList FilterPatterns(const QString& pipeFilter) {
    const QStringList parts = pipeFilter.split(QLatin1Char('|'));
    QStringList patterns;
    for (qsizetype i = 1; i < parts.size(); i += 2) patterns << parts[i];
    return patterns;
}

// Room for long file names: the detail view, wide, within the screen.
void GiveRoom(QFileDialog& dialog) {
    dialog.setViewMode(QFileDialog::Detail);
    QSize size(960, 600);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size.expandedTo(dialog.minimumSizeHint()));
    if (auto* view = dialog.findChild<QTreeView*>()) {
        // Long names get most of the width; the date keeps room for its whole text.
        view->header()->setSectionResizeMode(0, QHeaderView::Interactive);
        view->header()->resizeSection(0, size.width() * 2 / 5);
        view->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
        view->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
        view->header()->setStretchLastSection(true);
    }
}

}  // namespace

QString ExamplesFolder() {
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);  // none when it was removed
    const std::filesystem::path found = FindDataEntry("examples", DataEntryKind::Folder, here, ProgramDataFolders());
    return found.empty() ? QString() : QDir::cleanPath(QString::fromStdString(found.string()));
}

QString StartFolder(FileDialogKind kind) {
    const QString last = QSettings().value(kLastFolderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    if (kind == FileDialogKind::Open) {
        if (const QString examples = ExamplesFolder(); !examples.isEmpty()) return examples;
    }
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

QString ShowFileDialog(QWidget* parent, const FileDialogSpec& spec) {
    const QStringList patterns = FilterPatterns(spec.filter);
    const bool addSuffix = spec.kind == FileDialogKind::Save || spec.addFilterSuffix;
    if (fileDialogHook) {
        const QString name = fileDialogHook(spec.kind, spec.filter);
        return addSuffix && !patterns.isEmpty() ? WithSuffix(name, FilterSuffix(patterns.first())) : name;
    }
    const QString title = spec.title.isEmpty() ? kProgramTitle : spec.title;
    QFileDialog dialog(parent, title, StartFolder(spec.kind), QtFilter(spec.filter));
    // The suffix of the filter chosen; QFileDialog adds it as its default suffix, so that it asks about
    // replacing the suffixed name.
    QString suffix = addSuffix && !patterns.isEmpty() ? FilterSuffix(patterns.first()) : QString();
    if (addSuffix) {
        const auto follow = [&dialog, &suffix, patterns](const QString& chosen) {
            const qsizetype at = dialog.nameFilters().indexOf(chosen);
            suffix = at >= 0 && at < patterns.size() ? FilterSuffix(patterns[at]) : QString();
            dialog.setDefaultSuffix(suffix);
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
        dialog.setDefaultSuffix(suffix);
    }
    // Both kinds accept names that do not exist yet: the output file is chosen with an open dialog too.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (spec.kind == FileDialogKind::Save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        // The example data files, wherever the descriptions are found, one click away in the side bar.
        const QString examples = ExamplesFolder();
        if (!examples.isEmpty()) dialog.setSidebarUrls(dialog.sidebarUrls() << QUrl::fromLocalFile(examples));
    }
    GiveRoom(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString chosen = dialog.selectedFiles().constFirst();
    const QString name = WithSuffix(chosen, suffix);
    // "name." gets its suffix here, past the dialog's own question about replacing a file.
    if (name != chosen && spec.kind == FileDialogKind::Save && QFileInfo::exists(name) &&
        !AskYesNo(parent, QStringLiteral("%1 already exists. Replace it?").arg(QDir::toNativeSeparators(name))))
        return {};
    QSettings().setValue(kLastFolderKey, QFileInfo(name).absolutePath());
    return name;
}

}  // namespace brevant::frame
