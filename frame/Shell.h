// What the analysis windows need from the program's shell, without depending on it: the main window and
// the data editor are reached through hooks the shell sets at start-up, and every loaded window is listed
// here so a quit can unload them all, most recently loaded first.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace brevant::frame {

void SetShowMainWindowHook(std::function<void()> hook);
void SetShowDataEditorHook(std::function<void()> hook);
void ShowMainWindow();  // does nothing until the shell sets the hook
void ShowDataEditor();

// The program's list of loaded windows, in the order they were loaded. A window registers when it is
// created and is removed when it is destroyed.
void RegisterLoadedWindow(QWidget* window);
int LoadedWindowCount();
QWidget* LoadedWindow(int index);

// A loaded window that may hold unsaved work: a quit asks every such window first, before it unloads
// anything, so a user who cancels finds the program exactly as it was.
class QuitGuard {
public:
    virtual ~QuitGuard() = default;
    virtual bool MayQuit() = 0;  // false keeps the program running
};

// Asks every loaded QuitGuard window, most recently loaded first, until one says no; true when none did.
bool MayQuitAll();
// Unloads every loaded window, from the most recently loaded to the first; the program ends with the last.
// Every QuitGuard window is asked first (MayQuitAll); if one says no, nothing is unloaded.
void QuitAll();
// True while QuitAll is unloading windows (a window closing then must not show the main window again).
bool Quitting();

// Shows the analysis window of that name (IndepT, BootstMean, ...), creating it on first use, non-modal
// and in front; a window already open is only brought forward. A new window opened from opener is placed
// beside it, leaving the opener's title and menus in sight. Returns it, or nullptr for an unknown name.
QWidget* ShowAnalysisWindow(const QString& windowName, const QWidget* opener = nullptr);

}  // namespace brevant::frame
