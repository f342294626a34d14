#include "frame/Shell.h"

#include <QApplication>
#include <QPointer>
#include <QWidget>
#include <vector>

namespace brevant::frame {

namespace {
std::function<void()> showMainWindowHook;
std::function<void()> showDataEditorHook;
std::vector<QPointer<QWidget>> loadedWindows;
bool quitting = false;

void DropUnloaded() {
    std::erase_if(loadedWindows, [](const QPointer<QWidget>& w) { return w.isNull(); });
}
}  // namespace

void SetShowMainWindowHook(std::function<void()> hook) { showMainWindowHook = std::move(hook); }
void SetShowDataEditorHook(std::function<void()> hook) { showDataEditorHook = std::move(hook); }

void ShowMainWindow() {
    if (showMainWindowHook) showMainWindowHook();
}

void ShowDataEditor() {
    if (showDataEditorHook) showDataEditorHook();
}

void RegisterLoadedWindow(QWidget* window) {
    DropUnloaded();
    loadedWindows.emplace_back(window);
}

int LoadedWindowCount() {
    DropUnloaded();
    return static_cast<int>(loadedWindows.size());
}

QWidget* LoadedWindow(int index) {
    DropUnloaded();
    if (index < 0 || index >= static_cast<int>(loadedWindows.size())) return nullptr;
    return loadedWindows[static_cast<std::size_t>(index)];
}

bool Quitting() { return quitting; }

bool MayQuitAll() {
    for (int i = LoadedWindowCount() - 1; i >= 0; --i) {
        auto* guard = dynamic_cast<QuitGuard*>(LoadedWindow(i));
        if (guard != nullptr && !guard->MayQuit()) return false;
    }
    return true;
}

void QuitAll() {
    if (quitting || !MayQuitAll()) return;
    quitting = true;
    for (int i = LoadedWindowCount() - 1; i >= 0; --i) {
        QWidget* window = LoadedWindow(i);
        if (window == nullptr) continue;
        const bool deletedOnClose = window->testAttribute(Qt::WA_DeleteOnClose);
        window->setAttribute(Qt::WA_DeleteOnClose);
        if (!window->close()) {  // a window still refused: it stays as it was, and so does the program
            window->setAttribute(Qt::WA_DeleteOnClose, deletedOnClose);
            quitting = false;
            return;
        }
        window->deleteLater();  // close() does not delete a window that was already hidden (the editor)
    }
    quitting = false;
    QApplication::quit();
}

}  // namespace brevant::frame
