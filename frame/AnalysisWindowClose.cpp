// How a window goes: back to the main window (the Main Menu button, "Return to Main Menu", the title bar's
// close button, a "&Close" entry that closes the window), or with the whole program (the quit button, the
// exit entries, a "&Close" the window's design makes the program's end). Nothing is lost without a question:
// a run in progress is stopped only after the user agrees (Yes / No, No the default), and a quit asks every
// window before it closes any (Shell.h QuitGuard).
#include "frame/AnalysisWindow.h"

#include "frame/Dialogs.h"

#include <QCloseEvent>

namespace brevant::frame {

void AnalysisWindow::RunEntry(const MenuEntry& entry) {
    if (!entry.question.isEmpty()) {
        // One question: agreeing to end the program agrees to stop this window's run too.
        const QString run = Running() ? QStringLiteral("\n\nThe run in progress in this window stops too.") : QString();
        if (!AskYesNo(this, entry.question + run)) return;
        stopAgreed_ = Running();
    }
    RunHandler(entry.handler);
    stopAgreed_ = false;
}

bool AnalysisWindow::MayStopRun(const QString& question) {
    if (!Running() || stopAgreed_) return true;
    return AskYesNo(this, question);
}

bool AnalysisWindow::MayQuit() {
    return MayStopRun(QStringLiteral("A run is in progress in the window \u201C%1\u201D. Quitting stops the run, "
                                     "and its results are lost. Quit anyway?")
                          .arg(row_.caption));
}

void AnalysisWindow::cmdMainMenu_Click() { close(); }  // closeEvent asks about a run, then shows the main window

void AnalysisWindow::Quit_Click() { QuitAll(); }

// "End the program at once" would discard an editor's unsaved text and a run in progress; it quits the
// same careful way as the quit button, so every window can finish or refuse.
void AnalysisWindow::mnuExitItem_Click() { QuitAll(); }

void AnalysisWindow::closeEvent(QCloseEvent* event) {
    // A quit has asked already (MayQuit).
    if (!Quitting() && !MayStopRun(QStringLiteral("A run is in progress in this window. Closing the window stops "
                                                  "the run, and its results are lost. Close it anyway?"))) {
        event->ignore();
        return;
    }
    driver_->Cancel();  // a run in progress ends here: nothing is written, nothing shown
    if (!Quitting()) ShowMainWindow();
    event->accept();
}

}  // namespace brevant::frame
