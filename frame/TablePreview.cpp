#include "frame/TablePreview.h"

#include "frame/AnalysisWindow.h"
#include "frame/ColumnChooser.h"
#include "frame/Dialogs.h"
#include "frame/Shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace brevant::frame {

namespace {

constexpr std::size_t kShownRows = 12;

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

TablePreview::TablePreview(Table table, const QString& path) : table_(std::move(table)), path_(path) {
    setObjectName(QStringLiteral("TablePreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlag(Qt::Window);
    const QString file = QFileInfo(path).fileName();
    setWindowTitle(QStringLiteral("Table %1").arg(file));
    auto* layout = new QVBoxLayout(this);

    auto* heading = new QLabel(QStringLiteral("%1: %2 columns, %3 rows. The first rows:")
                                   .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()))
                                   .arg(table_.Columns())
                                   .arg(table_.Rows()),
                               this);
    heading->setWordWrap(true);
    heading->setTextFormat(Qt::PlainText);
    layout->addWidget(heading);

    // The columns' names with their numbers of values above the first rows, as the file has them.
    rows_ = new QTableWidget(this);
    rows_->setObjectName(QStringLiteral("tblRows"));
    const std::vector<ColumnSummary> summaries = SummariseColumns(table_);
    const int shown = static_cast<int>(std::min(kShownRows, table_.Rows()));
    rows_->setColumnCount(static_cast<int>(summaries.size()));
    rows_->setRowCount(shown);
    QStringList headers;
    for (const ColumnSummary& s : summaries) headers << QStringLiteral("%1\n%2 values").arg(s.name).arg(s.values);
    rows_->setHorizontalHeaderLabels(headers);
    QStringList rowNames;
    for (int r = 0; r < shown; ++r) {
        rowNames << Text(table_.RowLabel(static_cast<std::size_t>(r)));
        for (int c = 0; c < static_cast<int>(summaries.size()); ++c) {
            const auto row = static_cast<std::size_t>(r), column = static_cast<std::size_t>(c);
            auto* item =
                new QTableWidgetItem(table_.Missing(row, column) ? QString() : Text(table_.GroupName(row, column)));
            item->setFlags(Qt::ItemIsEnabled);
            rows_->setItem(r, c, item);
        }
    }
    rows_->setVerticalHeaderLabels(rowNames);
    rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    rows_->resizeColumnsToContents();
    rows_->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(rows_, 1);

    layout->addWidget(new QLabel(QStringLiteral("Open an analysis with this table as its data file (it then asks "
                                                "which columns to read):"),
                                 this));
    analyses_ = new QListWidget(this);
    analyses_->setObjectName(QStringLiteral("lstAnalyses"));
    for (const WindowRow& row : WindowTable()) {
        const ColumnRoles* roles = FindColumnRoles(row.name.toStdString());
        if (roles == nullptr) continue;
        QString needs = Text(RolesText(*roles));
        if (TakesGroupColumn(*roles)) needs += QStringLiteral(", or values and a grouping column");
        auto* item = new QListWidgetItem(QStringLiteral("%1\n      reads %2").arg(row.caption, needs), analyses_);
        item->setToolTip(item->text());
        item->setData(Qt::UserRole, row.name);
    }
    analyses_->setCurrentRow(0);
    analyses_->setSpacing(2);
    connect(analyses_, &QListWidget::itemActivated, this, &TablePreview::OpenSelected);
    layout->addWidget(analyses_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* open = new QPushButton(QStringLiteral("Open Analysis"), this);
    open->setObjectName(QStringLiteral("cmdOpenAnalysis"));
    open->setDefault(true);
    connect(open, &QPushButton::clicked, this, &TablePreview::OpenSelected);
    auto* closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("cmdClose"));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(open);
    buttons->addWidget(closeButton);
    layout->addLayout(buttons);
    resize(640, 620);
}

void TablePreview::OpenSelected() {
    if (const QListWidgetItem* item = analyses_->currentItem()) OpenAnalysis(item->data(Qt::UserRole).toString());
}

AnalysisWindow* TablePreview::OpenAnalysis(const QString& windowName) {
    auto* window = qobject_cast<AnalysisWindow*>(ShowAnalysisWindow(windowName));
    if (window == nullptr) {
        ShowMessage(this, QStringLiteral("The analysis window %1 could not be opened.").arg(windowName));
        return nullptr;
    }
    // The window's own data-file choice, so the table is checked and its columns chosen as from its menu.
    return window->UseDataFile(path_) ? window : nullptr;
}

bool IsTableFile(const QString& path) {
    if (TableKindOf(QFile::encodeName(path).toStdString()) != TableKind::kNone) return true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray start = file.read(64 * 1024);  // the header line is the first that is not blank
    return LooksLikeTable(std::string_view(start.constData(), static_cast<std::size_t>(start.size())));
}

TablePreview* ShowTablePreview(QWidget* parent, const QString& path) {
    std::optional<Table> table;
    try {
        table = ReadTableFile(QFile::encodeName(path).toStdString());
    } catch (const std::exception& e) {  // DataFileError: the line and what is wrong with it
        ShowMessage(parent, QString::fromStdString(e.what()));
        return nullptr;
    }
    if (!table) {
        ShowMessage(
            parent,
            QStringLiteral("%1 is not a table: its first line names no columns.").arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    auto* preview = new TablePreview(std::move(*table), path);
    RegisterLoadedWindow(preview);
    preview->show();
    preview->raise();
    preview->activateWindow();
    return preview;
}

}  // namespace brevant::frame
