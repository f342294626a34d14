#include "frame/ColumnChooser.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace brevant::frame {

namespace {

ColumnChooserHook chooserHook;

constexpr std::size_t kFirstValues = 4;

QString Text(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString ColumnTitle(const Table& table, std::size_t c) {
    return table.ColumnName(c).empty() ? QStringLiteral("column %1").arg(c + 1) : Text(table.ColumnName(c));
}

}  // namespace

std::optional<Table> ReadTableFile(const std::string& path) {
    const TableKind kind = TableKindOf(path);
    if (kind == TableKind::kStatistical) return ReadStatisticalTable(path);
    const std::string text = DataFile::ReadText(path);
    if (kind == TableKind::kText || LooksLikeTable(text)) return ReadTextTable(text, path);
    return std::nullopt;
}

void SetColumnChooserHook(ColumnChooserHook hook) { chooserHook = std::move(hook); }

std::vector<ColumnSummary> SummariseColumns(const Table& table) {
    std::vector<ColumnSummary> summaries;
    for (std::size_t c = 0; c < table.Columns(); ++c) {
        ColumnSummary summary{ColumnTitle(table, c), 0, {}};
        QStringList first;
        for (std::size_t row = 0; row < table.Rows(); ++row) {
            if (table.Missing(row, c)) continue;
            if (++summary.values <= kFirstValues) first << Text(table.GroupName(row, c));
        }
        if (summary.values > kFirstValues) first << QStringLiteral("\u2026");
        summary.firstValues = first.join(QStringLiteral(", "));
        summaries.push_back(std::move(summary));
    }
    return summaries;
}

void FillColumnsWidget(QTableWidget* widget, const Table& table) {
    const std::vector<ColumnSummary> summaries = SummariseColumns(table);
    widget->clear();
    widget->setColumnCount(4);
    widget->setHorizontalHeaderLabels(
        {QStringLiteral("#"), QStringLiteral("Column"), QStringLiteral("Values"), QStringLiteral("First values")});
    widget->setRowCount(static_cast<int>(summaries.size()));
    for (int r = 0; r < static_cast<int>(summaries.size()); ++r) {
        const ColumnSummary& s = summaries[static_cast<std::size_t>(r)];
        const QStringList cells{QString::number(r + 1), s.name, QString::number(s.values), s.firstValues};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            item->setFlags(Qt::ItemIsEnabled);
            widget->setItem(r, c, item);
        }
    }
    widget->verticalHeader()->hide();
    widget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    widget->setSelectionMode(QAbstractItemView::NoSelection);
    widget->resizeColumnsToContents();
    widget->horizontalHeader()->setStretchLastSection(true);
}

ColumnChooser::ColumnChooser(const Table& table, const ColumnRoles& roles, const std::optional<ColumnChoice>& start,
                             QWidget* parent)
    : QDialog(parent), table_(table), roles_(roles) {
    setObjectName(QStringLiteral("ColumnChooser"));
    const QString procedure = Text(roles.procedure);
    const QString file = QFileInfo(Text(table.Name())).fileName();
    setWindowTitle(QStringLiteral("Choose Columns: %1").arg(file));
    auto* layout = new QVBoxLayout(this);

    auto* heading =
        new QLabel(QStringLiteral("The table %1 has %2 columns and %3 rows. %4 needs %5%6.")
                       .arg(file)
                       .arg(table.Columns())
                       .arg(table.Rows())
                       .arg(parent != nullptr && !parent->windowTitle().isEmpty() ? parent->windowTitle() : procedure,
                            Text(RolesText(roles)),
                            TakesGroupColumn(roles) ? QStringLiteral(", or one column of values and a grouping column")
                                                    : QString()),
                   this);
    heading->setWordWrap(true);
    layout->addWidget(heading);

    auto* columns = new QTableWidget(this);
    columns->setObjectName(QStringLiteral("tblColumns"));
    FillColumnsWidget(columns, table);
    columns->setMinimumHeight(140);
    layout->addWidget(columns, 1);

    if (TakesGroupColumn(roles)) {
        auto* forms = new QHBoxLayout;
        wide_ = new QRadioButton(QStringLiteral("One column per group"), this);
        wide_->setObjectName(QStringLiteral("optWide"));
        long_ = new QRadioButton(QStringLiteral("Values in one column, groups named in another"), this);
        long_->setObjectName(QStringLiteral("optLong"));
        forms->addWidget(wide_);
        forms->addWidget(long_);
        forms->addStretch(1);
        layout->addLayout(forms);
    }

    pages_ = new QStackedWidget(this);
    auto* widePage = new QWidget(pages_);
    if (TakesAnyNumber(roles)) {
        auto* wideLayout = new QVBoxLayout(widePage);
        wideLayout->setContentsMargins(0, 0, 0, 0);
        wideLayout->addWidget(new QLabel(
            QStringLiteral("Tick a column for each %1, at least 2, in order:").arg(Text(roles.roles[0])), widePage));
        columnList_ = new QListWidget(widePage);
        columnList_->setObjectName(QStringLiteral("lstColumns"));
        for (std::size_t c = 0; c < table.Columns(); ++c) {
            auto* item =
                new QListWidgetItem(QStringLiteral("%1  %2").arg(c + 1).arg(ColumnTitle(table, c)), columnList_);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        columnList_->setMaximumHeight(120);
        wideLayout->addWidget(columnList_);
        connect(columnList_, &QListWidget::itemChanged, this, &ColumnChooser::Check);
    } else {
        auto* form = new QFormLayout(widePage);
        form->setContentsMargins(0, 0, 0, 0);
        for (std::size_t i = 0; i < roles.roles.size(); ++i) {
            QComboBox* box = ColumnBox(QStringLiteral("cboRole_%1").arg(i), true);
            box->setParent(widePage);
            roleBoxes_.push_back(box);
            QString role = Text(roles.roles[i]);
            role[0] = role[0].toUpper();
            form->addRow(role + QLatin1Char(':'), box);
        }
    }
    pages_->addWidget(widePage);
    if (TakesGroupColumn(roles)) {
        auto* longPage = new QWidget(pages_);
        auto* form = new QFormLayout(longPage);
        form->setContentsMargins(0, 0, 0, 0);
        valuesBox_ = ColumnBox(QStringLiteral("cboValues"), true);
        groupBox_ = ColumnBox(QStringLiteral("cboGroup"), true);
        valuesBox_->setParent(longPage);
        groupBox_->setParent(longPage);
        form->addRow(QStringLiteral("Values:"), valuesBox_);
        form->addRow(QStringLiteral("Groups named in:"), groupBox_);
        pages_->addWidget(longPage);
    }
    layout->addWidget(pages_);

    choiceLabel_ = new QLabel(this);
    choiceLabel_->setObjectName(QStringLiteral("lblChoice"));
    choiceLabel_->setWordWrap(true);
    choiceLabel_->setTextFormat(Qt::PlainText);
    choiceLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(choiceLabel_);

    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &ColumnChooser::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &ColumnChooser::reject);
    layout->addWidget(buttons_);

    // What to show first: the earlier choice, else the table's numeric columns when they are exactly the
    // roles, else (independent groups) the one grouping column that gives a layout, else nothing chosen.
    if (start) {
        Show(*start, start->group.has_value());
    } else {
        bool shown = false;
        try {
            const TableLayout found = LayOutTable(table, roles, {});
            ColumnChoice choice;
            for (const UsedColumn& used : found.columns)
                choice.columns.push_back(ColumnKey(static_cast<int>(used.column)).toStdString());
            Show(choice, false);
            shown = true;
        } catch (const std::exception&) {
        }
        for (std::size_t c = 0; !shown && TakesGroupColumn(roles) && c < table.Columns(); ++c) {
            try {
                const ColumnChoice tried{{}, ColumnKey(static_cast<int>(c)).toStdString()};
                const TableLayout found = LayOutTable(table, roles, tried);
                Show({{ColumnKey(static_cast<int>(found.columns[0].column)).toStdString()}, tried.group}, true);
                shown = true;
            } catch (const std::exception&) {
            }
        }
        if (!shown) Show({}, false);
    }
    if (wide_ != nullptr) {
        connect(wide_, &QRadioButton::toggled, this, [this](bool wide) {
            pages_->setCurrentIndex(wide ? 0 : 1);
            Check();
        });
    }
    resize(560, 520);
}

QComboBox* ColumnChooser::ColumnBox(const QString& name, bool allowNone) {
    auto* box = new QComboBox(this);
    box->setObjectName(name);
    if (allowNone) box->addItem(QStringLiteral("(choose a column)"), -1);
    for (std::size_t c = 0; c < table_.Columns(); ++c) {
        box->addItem(QStringLiteral("%1  %2").arg(c + 1).arg(ColumnTitle(table_, c)), static_cast<int>(c));
    }
    connect(box, &QComboBox::currentIndexChanged, this, &ColumnChooser::Check);
    return box;
}

// A name that is the table's only column of that name, else the column's number.
QString ColumnChooser::ColumnKey(int column) const {
    const std::string& name = table_.ColumnName(static_cast<std::size_t>(column));
    int same = 0;
    for (std::size_t c = 0; c < table_.Columns(); ++c) same += table_.ColumnName(c) == name;
    bool digits = !name.empty();
    for (const char ch : name) digits = digits && ch >= '0' && ch <= '9';
    return same == 1 && !name.empty() && !digits ? Text(name) : QString::number(column + 1);
}

int ColumnChooser::FindColumn(const std::string& key) const {
    for (std::size_t c = 0; c < table_.Columns(); ++c)
        if (table_.ColumnName(c) == key) return static_cast<int>(c);
    bool ok = false;
    const int number = QString::fromStdString(key).toInt(&ok);
    return ok && number >= 1 && number <= static_cast<int>(table_.Columns()) ? number - 1 : -1;
}

void ColumnChooser::Show(const ColumnChoice& choice, bool longForm) {
    const QSignalBlocker blockList(columnList_);
    const auto select = [](QComboBox* box, int column) {
        const QSignalBlocker block(box);
        box->setCurrentIndex(std::max(0, box->findData(column)));
    };
    if (longForm && groupBox_ != nullptr) {
        select(valuesBox_, choice.columns.empty() ? -1 : FindColumn(choice.columns[0]));
        select(groupBox_, FindColumn(*choice.group));
    } else if (columnList_ != nullptr) {
        for (const std::string& key : choice.columns) {
            if (const int c = FindColumn(key); c >= 0) columnList_->item(c)->setCheckState(Qt::Checked);
        }
    } else {
        for (std::size_t i = 0; i < roleBoxes_.size(); ++i)
            select(roleBoxes_[i], i < choice.columns.size() ? FindColumn(choice.columns[i]) : -1);
    }
    if (wide_ != nullptr) {
        const QSignalBlocker blockWide(wide_), blockLong(long_);
        (longForm ? long_ : wide_)->setChecked(true);
    }
    pages_->setCurrentIndex(longForm && groupBox_ != nullptr ? 1 : 0);
    Check();
}

bool ColumnChooser::LongForm() const { return long_ != nullptr && long_->isChecked(); }

QComboBox* ColumnChooser::RoleBox(int role) const {
    return role >= 0 && role < static_cast<int>(roleBoxes_.size()) ? roleBoxes_[static_cast<std::size_t>(role)]
                                                                   : nullptr;
}

ColumnChoice ColumnChooser::Choice() const {
    ColumnChoice choice;
    const auto key = [this](const QComboBox* box) {
        const int c = box->currentData().toInt();
        return c < 0 ? std::string() : ColumnKey(c).toStdString();
    };
    if (LongForm()) {
        choice.columns.push_back(key(valuesBox_));
        choice.group = key(groupBox_);
    } else if (columnList_ != nullptr) {
        for (int c = 0; c < columnList_->count(); ++c)
            if (columnList_->item(c)->checkState() == Qt::Checked) choice.columns.push_back(ColumnKey(c).toStdString());
    } else {
        for (const QComboBox* box : roleBoxes_) choice.columns.push_back(key(box));
    }
    return choice;
}

void ColumnChooser::Check() {
    const ColumnChoice choice = Choice();
    problem_.clear();
    if (LongForm() && (choice.columns[0].empty() || choice.group->empty())) {
        problem_ = QStringLiteral("Choose the column of values and the column that names the groups.");
    } else if (columnList_ != nullptr && !LongForm() && choice.columns.size() < 2) {
        problem_ = QStringLiteral("Tick at least 2 columns, one for each %1.").arg(Text(roles_.roles[0]));
    } else {
        for (std::size_t i = 0; i < choice.columns.size() && problem_.isEmpty() && !LongForm(); ++i) {
            if (choice.columns[i].empty())
                problem_ = QStringLiteral("Choose a column for %1.").arg(Text(roles_.roles[i]));
        }
    }
    QString reads;
    if (problem_.isEmpty()) {
        try {
            const TableLayout layout = LayOutTable(table_, roles_, choice);
            reads = QStringLiteral("Reads ") + Text(ColumnsText(table_, layout)) + QLatin1Char('.');
            for (const std::string& note : layout.notes) reads += QLatin1Char('\n') + Text(note);
        } catch (const std::exception& e) {  // ColumnChoiceError, DataFileError: the reason, in words
            problem_ = Text(e.what());
        }
    }
    choiceLabel_->setText(problem_.isEmpty() ? reads : problem_);
    choiceLabel_->setStyleSheet(problem_.isEmpty() ? QString() : QStringLiteral("QLabel { color: #b00020; }"));
    buttons_->button(QDialogButtonBox::Ok)->setToolTip(problem_);
}

void ColumnChooser::accept() {
    Check();
    if (problem_.isEmpty()) QDialog::accept();
}

std::optional<ColumnChoice> ChooseColumns(QWidget* parent, const Table& table, const ColumnRoles& roles,
                                          const std::optional<ColumnChoice>& start) {
    ColumnChooser dialog(table, roles, start, parent);
    if (chooserHook) {
        if (!chooserHook(dialog)) return std::nullopt;
        dialog.accept();
        if (dialog.result() != QDialog::Accepted) return std::nullopt;
        return dialog.Choice();
    }
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Choice();
}

}  // namespace brevant::frame
