// Tables as an analysis window's data file: choosing one shows the column chooser, the window keeps the
// choice (StoredValues::columns), and each run reads the table again and lays the chosen columns out as the
// counts-first text the procedure reads, so a window's run and the batch tool's on the same table and seeds
// give the same figures. The columns read name the run on the status line and in Copy Results, with the
// batch tool's --columns and --group in the command that repeats it.
#include "frame/AnalysisWindow.h"

#include "frame/ColumnChooser.h"
#include "frame/Dialogs.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>

namespace brevant::frame {

namespace {

// A column for the command line: a plain name as it stands, any other by its number (no quoting needed).
QString CommandColumn(const Table& table, std::size_t column) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.-]*$"));
    const QString name = QString::fromStdString(table.ColumnName(column));
    std::size_t same = 0;
    for (std::size_t c = 0; c < table.Columns(); ++c) same += table.ColumnName(c) == table.ColumnName(column);
    return same == 1 && plain.match(name).hasMatch() ? name : QString::number(column + 1);
}

QStringList ColumnOptions(const Table& table, const TableLayout& layout) {
    QStringList columns;
    for (const UsedColumn& used : layout.columns) columns << CommandColumn(table, used.column);
    QStringList options{QStringLiteral("--columns"), columns.join(QLatin1Char(','))};
    if (layout.groupColumn) options << QStringLiteral("--group") << CommandColumn(table, *layout.groupColumn);
    return options;
}

const QString kChooseAgain = QStringLiteral(" Choose the columns again with Edit > Choose Columns...");

}  // namespace

void AnalysisWindow::BuildColumnsEntry() {
    auto* edit = findChild<QMenu*>(QStringLiteral("mnuEdit"));
    if (edit == nullptr) return;
    edit->addSeparator()->setProperty(kAddedEntryProperty, true);
    chooseColumns_ = edit->addAction(QStringLiteral("Choose &Columns..."));
    chooseColumns_->setProperty(kAddedEntryProperty, true);
    chooseColumns_->setObjectName(QStringLiteral("mnuChooseColumns"));
    chooseColumns_->setEnabled(false);  // until a table is the data file
    connect(chooseColumns_, &QAction::triggered, this, &AnalysisWindow::ChooseColumns_Click);
}

void AnalysisWindow::ChooseColumns_Click() {
    if (!dataFileChosen_ || !Stored().columns) {
        ShowMessage(this, QStringLiteral("The data file is not a table with named columns: there are no columns to "
                                         "choose."));
        return;
    }
    if (!ChooseTableColumns(Stored().dataFile)) return;
    ShowFileStatus();
    ShowRunStatus();  // names the last run's columns once they differ
}

// A table asks for its columns: the earlier choice is shown when the same table is chosen again. Cancel keeps
// the window's data file and columns as they were. Counts-first text has no columns to choose.
bool AnalysisWindow::ChooseTableColumns(const QString& name) {
    const std::string path = QFile::encodeName(name).toStdString();
    std::optional<Table> table;
    try {
        table = ReadTableFile(path);
    } catch (const std::exception& e) {  // DataFileError: the line and what is wrong with it
        ShowMessage(this, QString::fromStdString(e.what()));
        return false;
    }
    if (!table) {
        Stored().columns.reset();
        if (chooseColumns_ != nullptr) chooseColumns_->setEnabled(false);
        return true;
    }
    const ColumnRoles* roles = FindColumnRoles(row_.name.toStdString());
    if (roles == nullptr) {
        ShowMessage(this, QStringLiteral("This window reads counts-first text only, not tables."));
        return false;
    }
    // The earlier choice for the same file, while the table still meets it.
    std::optional<ColumnChoice> start;
    if (Stored().columns && QFileInfo(Stored().dataFile) == QFileInfo(name)) {
        try {
            LayOutTable(*table, *roles, *Stored().columns);
            start = Stored().columns;
        } catch (const std::exception&) {
        }
    }
    const std::optional<ColumnChoice> choice = ChooseColumns(this, *table, *roles, start);
    if (!choice) return false;
    Stored().columns = choice;
    if (chooseColumns_ != nullptr) chooseColumns_->setEnabled(true);
    return true;
}

// The data as the procedure reads them; for a table, its chosen columns laid out (with the rows left out
// as notes). Throws DataFileError with the reason.
DataFile AnalysisWindow::OpenRunData(const QString& path) {
    tableNote_.clear();
    runColumns_.clear();
    runColumnOptions_.clear();
    const std::string name = QFile::encodeName(path).toStdString();
    std::optional<Table> table = ReadTableFile(name);
    if (!table) return DataFile::Open(name);
    const ColumnRoles* roles = FindColumnRoles(row_.name.toStdString());
    if (roles == nullptr) throw DataFileError("This window reads counts-first text only, not tables.");
    if (!Stored().columns) {
        throw DataFileError("The data file " + table->QuotedName() + " is now a table with named columns." +
                            kChooseAgain.toStdString());
    }
    TableLayout layout;
    try {
        layout = LayOutTable(*table, *roles, *Stored().columns);
    } catch (const ColumnChoiceError& e) {  // the table changed since its columns were chosen
        throw DataFileError("The columns chosen cannot be read: " + std::string(e.what()) + kChooseAgain.toStdString());
    }
    QStringList notes;
    for (const std::string& note : layout.notes) notes << QString::fromStdString(note);
    tableNote_ = notes.join(QLatin1Char('\n'));
    runColumns_ = QString::fromStdString(ColumnsText(*table, layout));
    runColumnOptions_ = ColumnOptions(*table, layout);
    return DataFile::FromText(std::move(layout.text), name);
}

}  // namespace brevant::frame
