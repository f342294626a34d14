// Opening analysis windows by name: one window per name at a time, created on first use from the class
// registered for that name (the plain frame when none is).
#include "frame/AnalysisWindow.h"
#include "frame/Shell.h"

#include <QPointer>
#include <map>

namespace brevant::frame {

namespace {

std::map<QString, AnalysisWindowFactory>& Factories() {
    static std::map<QString, AnalysisWindowFactory> factories;
    return factories;
}

std::map<QString, QPointer<AnalysisWindow>>& OpenWindows() {
    static std::map<QString, QPointer<AnalysisWindow>> windows;
    return windows;
}

AnalysisWindow* Create(const WindowRow& row) {
    const auto found = Factories().find(row.name);
    if (found != Factories().end() && found->second) return found->second(row);
    return new AnalysisWindow(row);
}

}  // namespace

bool RegisterAnalysisWindowFactory(const QString& windowName, AnalysisWindowFactory factory) {
    if (FindWindowRow(windowName) == nullptr) return false;
    Factories()[windowName] = std::move(factory);
    return true;
}

AnalysisWindow* OpenAnalysisWindow(const QString& windowName) {
    const auto found = OpenWindows().find(windowName);
    return found == OpenWindows().end() ? nullptr : found->second.data();
}

QWidget* ShowAnalysisWindow(const QString& windowName) {
    const WindowRow* row = FindWindowRow(windowName);
    if (row == nullptr) return nullptr;
    AnalysisWindow* window = OpenAnalysisWindow(windowName);
    if (window == nullptr) {
        window = Create(*row);
        OpenWindows()[windowName] = window;  // a QPointer: cleared when the window is unloaded
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace brevant::frame
