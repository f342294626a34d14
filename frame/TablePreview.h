// A table opened from the main window: its columns (names, values, first rows) and the analyses, any of
// which opens with the table as its data file, its column chooser showing what it reads. Data first, then
// the analysis.
//
// Object names: TablePreview, tblRows (the first rows under the columns' names), lstAnalyses (an item per
// analysis, its window name as Qt::UserRole data), cmdOpenAnalysis, cmdClose.
#pragma once

#include "engine/TableFile.h"

#include <QString>
#include <QWidget>

class QListWidget;
class QTableWidget;

namespace brevant::frame {

class AnalysisWindow;

class TablePreview : public QWidget {
    Q_OBJECT

public:
    TablePreview(Table table, const QString& path);

    const QString& Path() const { return path_; }
    QListWidget* Analyses() const { return analyses_; }
    // Opens the analysis window of that name with the table as its data file (the window's chooser first);
    // the window, or nullptr when it could not be opened or the chooser was cancelled.
    AnalysisWindow* OpenAnalysis(const QString& windowName);

public slots:
    void OpenSelected();

private:
    Table table_;
    QString path_;
    QTableWidget* rows_ = nullptr;
    QListWidget* analyses_ = nullptr;
};

// Whether the file is a table by its name or its first line (false for a file that cannot be read).
bool IsTableFile(const QString& path);

// Reads the file as a table and shows its preview (a window of its own, listed as loaded); a file that is
// no table, or cannot be read, is refused with a message and gives nullptr.
TablePreview* ShowTablePreview(QWidget* parent, const QString& path);

}  // namespace brevant::frame
