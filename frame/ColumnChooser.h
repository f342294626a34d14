// The column chooser: which columns of a table an analysis window reads, and in what roles. It lists the
// table's columns (name, number of values, first values), offers one list per role of the window's procedure,
// preselected when the table has exactly as many numeric columns as roles, and for the procedures of
// independent groups a choice between one column per group (wide) and a column of values with a grouping
// column (long), showing the groups found. A choice the table cannot meet is refused in the dialog itself,
// with the reason, and OK stays closed until the choice is good.
//
// Object names: ColumnChooser, tblColumns, optWide, optLong, cboRole_0.., lstColumns (any number of columns),
// cboValues, cboGroup, lblChoice (the columns the choice reads, or why it cannot be used).
#pragma once

#include "analysis/ColumnRoles.h"

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QRadioButton;
class QStackedWidget;
class QTableWidget;
class QDialogButtonBox;

namespace brevant::frame {

// The open dialog's entry for tables, after a window's own filter ("|Description|pattern" form).
inline const QString kTableFilterEntry =
    QStringLiteral("|Tables (*.csv *.tsv *.sav *.zsav *.por *.dta)|*.csv *.tsv *.sav *.zsav *.por *.dta");

// The file read as a table when it is one (by its name or its first line); none for counts-first text.
// Throws DataFileError for a file that cannot be read or a table with a fault.
std::optional<Table> ReadTableFile(const std::string& path);

// A short summary of one column for lists: its values (cells that are not missing) and the first few.
struct ColumnSummary {
    QString name;  // as the table names it; "column 3" when it has none
    std::size_t values = 0;
    QString firstValues;  // "4.1, 5.3, 6.0, ..."
};
std::vector<ColumnSummary> SummariseColumns(const Table& table);

// The table's columns as a table widget: a row per column with its number, name, values and first values.
void FillColumnsWidget(QTableWidget* widget, const Table& table);

class ColumnChooser : public QDialog {
    Q_OBJECT

public:
    // start: the choice to show (a window's earlier choice); none: preselect what is obvious.
    ColumnChooser(const Table& table, const ColumnRoles& roles, const std::optional<ColumnChoice>& start,
                  QWidget* parent = nullptr);

    // The choice as the controls show it (names where they are unique, else numbers).
    ColumnChoice Choice() const;
    // The columns the choice reads (ColumnsText), or why the table cannot meet it; empty message when good.
    QString Problem() const { return problem_; }
    bool LongForm() const;

    QComboBox* RoleBox(int role) const;  // nullptr past the roles
    QListWidget* ColumnList() const { return columnList_; }
    QComboBox* ValuesBox() const { return valuesBox_; }
    QComboBox* GroupBox() const { return groupBox_; }
    QRadioButton* WideButton() const { return wide_; }
    QRadioButton* LongButton() const { return long_; }
    QLabel* ChoiceLabel() const { return choiceLabel_; }

public slots:
    void accept() override;  // refuses, with the reason shown, a choice the table cannot meet
    void Check();            // lays the choice out and shows what it reads or why not

private:
    void Show(const ColumnChoice& choice, bool longForm);
    QComboBox* ColumnBox(const QString& name, bool allowNone);
    QString ColumnKey(int column) const;  // how a choice names the column
    int FindColumn(const std::string& key) const;

    const Table& table_;
    const ColumnRoles& roles_;
    std::vector<QComboBox*> roleBoxes_;
    QListWidget* columnList_ = nullptr;
    QComboBox* valuesBox_ = nullptr;
    QComboBox* groupBox_ = nullptr;
    QRadioButton* wide_ = nullptr;
    QRadioButton* long_ = nullptr;
    QStackedWidget* pages_ = nullptr;
    QLabel* choiceLabel_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    QString problem_;
};

// Shows the chooser for the procedure (modal) and returns the choice, or none when the user cancels.
std::optional<ColumnChoice> ChooseColumns(QWidget* parent, const Table& table, const ColumnRoles& roles,
                                          const std::optional<ColumnChoice>& start);

// Test seam: while set, the hook is given the dialog instead of a modal loop; it sets the controls as a user
// would and returns true for OK (which still refuses a choice the table cannot meet) or false for Cancel.
using ColumnChooserHook = std::function<bool(ColumnChooser& dialog)>;
void SetColumnChooserHook(ColumnChooserHook hook);

}  // namespace brevant::frame
