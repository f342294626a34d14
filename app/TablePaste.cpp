#include "app/TablePaste.h"

#include "analysis/ColumnRoles.h"
#include "frame/ChoiceDialog.h"
#include "frame/ColumnChooser.h"
#include "frame/Dialogs.h"
#include "frame/TablePreview.h"
#include "frame/WindowTable.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>
#include <optional>

namespace brevant::app {

namespace {

const QString kTableSaveFilter = QStringLiteral("Table, tab-separated(*.tsv)|*.tsv");
const QString kPastedName = QStringLiteral("pasted block");

enum Answer { kSaveTable, kLayOut, kPlainText, kCancel };

bool SaveTable(QWidget* parent, const QString& text) {
    const QString name = frame::ShowFileDialog(
        parent, {frame::FileDialogKind::Save, QStringLiteral("Save pasted block as a table"), kTableSaveFilter, true});
    if (name.isEmpty()) return false;
    QSaveFile file(name);
    const QByteArray bytes = text.toUtf8();
    bool saved = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!saved) {
        frame::ShowMessage(parent, QStringLiteral("The table %1 could not be saved: %2. An earlier file of that name "
                                                  "is left as it was.")
                                       .arg(QDir::toNativeSeparators(name), file.errorString()));
        return false;
    }
    frame::ShowTablePreview(parent, name);
    return true;
}

// The block's columns laid out for an analysis chosen from a list, in its column chooser.
bool LayOut(QWidget* parent, QPlainTextEdit* box, const Table& table) {
    QStringList captions;
    std::vector<const ColumnRoles*> roles;
    for (const frame::WindowRow& row : frame::WindowTable()) {
        if (const ColumnRoles* found = FindColumnRoles(row.name.toStdString())) {
            captions << row.caption;
            roles.push_back(found);
        }
    }
    const int chosen =
        frame::AskListChoice(parent, QStringLiteral("Lay the pasted columns out for which analysis?"), captions);
    if (chosen < 0 || chosen >= static_cast<int>(roles.size())) return false;
    const ColumnRoles& procedure = *roles[static_cast<std::size_t>(chosen)];
    const std::optional<ColumnChoice> choice = frame::ChooseColumns(parent, table, procedure, std::nullopt);
    if (!choice) return false;
    TableLayout layout;
    try {
        layout = LayOutTable(table, procedure, *choice);
    } catch (const std::exception& e) {  // the chooser checked the choice; the reason, should it still fail
        frame::ShowMessage(parent, QString::fromStdString(e.what()));
        return false;
    }
    box->insertPlainText(QString::fromStdString(layout.text));
    QString told = QStringLiteral(
                       "The pasted columns are laid out for %1: %2. Save them with File > Save As and "
                       "open the file in that analysis.")
                       .arg(captions[chosen], QString::fromStdString(ColumnsText(table, layout)));
    for (const std::string& note : layout.notes) told += QLatin1Char('\n') + QString::fromStdString(note);
    frame::ShowMessage(parent, told);
    return true;
}

}  // namespace

void DataTextEdit::insertFromMimeData(const QMimeData* source) {
    if (source != nullptr && source->hasText() && onTabbedPaste) {
        const QString text = source->text();
        if (text.contains(QLatin1Char('\t')) && onTabbedPaste(text)) return;
    }
    QPlainTextEdit::insertFromMimeData(source);
}

QString PastedTableText(const QString& block) {
    QString text = block;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (text.endsWith(QLatin1Char('\n'))) text.chop(1);
    text += QLatin1Char('\n');
    if (LooksLikeTable(text.toStdString())) return text;
    qsizetype columns = 0;
    for (const QString& line : text.split(QLatin1Char('\n')))
        columns = std::max(columns, line.count(QLatin1Char('\t')) + 1);
    QStringList header;
    for (qsizetype c = 1; c <= columns; ++c) header << QStringLiteral("column %1").arg(c);
    return header.join(QLatin1Char('\t')) + QLatin1Char('\n') + text;
}

bool HandleTabbedPaste(QWidget* parent, QPlainTextEdit* box, const QString& block) {
    const QString text = PastedTableText(block);
    std::optional<Table> table;
    try {
        table.emplace(ReadTextTable(text.toStdString(), kPastedName.toStdString()));
    } catch (const std::exception& e) {  // DataFileError: the line and what is wrong with it
        const int answer =
            frame::AskChoice(parent,
                             QStringLiteral("The pasted block holds tabs but cannot be read as a table: %1")
                                 .arg(QString::fromUtf8(e.what())),
                             {QStringLiteral("Paste as Plain Text"), QStringLiteral("Cancel")});
        return answer != 0;
    }
    const int answer = frame::AskChoice(
        parent,
        QStringLiteral("The pasted block has %1 columns and %2 rows, separated by tabs. A data file here is read "
                       "value by value, row after row, so columns pasted as they stand would be read mixed "
                       "together.\n\nSave the block as a table to open in an analysis, lay its columns out for an "
                       "analysis here, or paste it as it stands?")
            .arg(table->Columns())
            .arg(table->Rows()),
        {QStringLiteral("Save as Table..."), QStringLiteral("Lay Out for an Analysis..."),
         QStringLiteral("Paste as Plain Text"), QStringLiteral("Cancel")});
    switch (answer) {
        case kSaveTable:
            SaveTable(parent, text);
            return true;
        case kLayOut:
            LayOut(parent, box, *table);
            return true;
        case kPlainText:
            return false;
        default:
            return true;
    }
}

}  // namespace brevant::app
