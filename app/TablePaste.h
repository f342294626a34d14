// Pasting a block of a spreadsheet into the data editor. Counts-first text is read value by value, row by
// row, so columns pasted as they stand would be read as one mixed list: a paste holding tabs asks first
// whether to save the block as a table (.tsv, which opens in a preview to choose an analysis), to lay its
// columns out as the counts-first text of a chosen analysis, or to paste it as plain text.
#pragma once

#include <QPlainTextEdit>
#include <QString>
#include <functional>

class QMimeData;

namespace brevant::app {

// The editor's text box: a paste of text holding tabs goes to onTabbedPaste first, which returns true when it
// has dealt with it (the text is then not pasted as it stands).
class DataTextEdit : public QPlainTextEdit {
    Q_OBJECT

public:
    using QPlainTextEdit::QPlainTextEdit;
    std::function<bool(const QString& text)> onTabbedPaste;

protected:
    void insertFromMimeData(const QMimeData* source) override;
};

// The block as a table's text: lines ended by LF, a header line of "column 1", "column 2", ... added when its
// first line names no columns.
QString PastedTableText(const QString& block);

// Asks what to do with a pasted block holding tabs and does it: true when dealt with, false to paste it as
// plain text. Laying out inserts the counts-first text into box in place of the selection.
bool HandleTabbedPaste(QWidget* parent, QPlainTextEdit* box, const QString& block);

}  // namespace brevant::app
