// The data editor: a small plain-text editor for preparing data files. There is one editor for the whole
// program; "Done" and "Hide" only hide it, and a quit asks before its unsaved text is lost.
#pragma once

#include "frame/Shell.h"

#include <QMainWindow>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace brevant::app {

class DataEntryForm : public QMainWindow, public frame::QuitGuard {
    Q_OBJECT

public:
    // Files above this size are refused with "The file is too large for this editor.".
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;

    // The one editor, created (and listed as a loaded window) on first use.
    static DataEntryForm* Shared();
    // The editor while it is loaded, else nullptr.
    static DataEntryForm* Existing();
    // Shows the editor non-modal and in front, creating it if needed.
    static void ShowShared();

    // The fixed instructions, each line ended by CR LF.
    static QString InstructionText();

    // Loads the file into the box; on failure shows why and leaves the box and the label as they were.
    bool Load(const QString& fileName);
    // Writes the box's text followed by CR LF, replacing the file only once the whole text is written; the
    // label then names that file.
    bool SaveTo(const QString& fileName);

    // Whether the text changed since it was last loaded or saved.
    bool HasUnsavedChanges() const;
    // When the text has unsaved changes, asks whether to save it first (Yes / No / Cancel).
    // Returns true when the caller may go on: saved, discarded, or nothing to save.
    bool ConfirmDiscard(const QString& question);
    // The same with the question asked when the program ends.
    bool ConfirmQuit();
    bool MayQuit() override { return ConfirmQuit(); }

public slots:
    void mnuNewFile_Click();
    void mnuOpen_Click();
    void mnuSaveAsFile_Click();
    void mnuExit_Click();
    void Done_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    explicit DataEntryForm(QWidget* parent = nullptr);
    void BuildMenu();
    void BuildControls();
    void LoadChosenFile();
    bool SaveAs();

    QPlainTextEdit* txtInstruct_ = nullptr;
    QPlainTextEdit* DataForm_ = nullptr;
    QLabel* lblFile_ = nullptr;
    QPushButton* Done_ = nullptr;
};

}  // namespace brevant::app
