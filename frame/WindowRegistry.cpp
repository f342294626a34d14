// Opening analysis windows by name: one window per name at a time, created on first use from the class
// registered for that name (the plain frame when none is).
#include "frame/AnalysisWindow.h"
#include "frame/Shell.h"

#include <QPointer>
#include <QScreen>
#include <algorithm>
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

// Beside the opener, as far right as the screen allows, so its left part (title, menus) stays in sight; each
// window already open moves a new one a step down and right, so that none hides another's title.
void PlaceBeside(QWidget* window, const QWidget* opener) {
    const QScreen* screen = opener->screen();
    if (screen == nullptr) return;
    const QRect room = screen->availableGeometry();
    const QRect from = opener->frameGeometry();
    window->resize(window->sizeHint().boundedTo(room.size()));
    int others = 0;
    for (const auto& [name, open] : OpenWindows())
        if (!open.isNull() && open != window && open->isVisible()) ++others;
    constexpr int kStep = 28;
    const int x = std::clamp(from.right() + 12 + kStep * others, room.left(),
                             std::max(room.left(), room.right() - window->width()));
    const int y = std::clamp(from.top() + 40 + kStep * others, room.top(),
                             std::max(room.top(), room.bottom() - window->height()));
    window->move(x, y);
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

QWidget* ShowAnalysisWindow(const QString& windowName, const QWidget* opener) {
    const WindowRow* row = FindWindowRow(windowName);
    if (row == nullptr) return nullptr;
    AnalysisWindow* window = OpenAnalysisWindow(windowName);
    if (window == nullptr) {
        window = Create(*row);
        if (opener != nullptr) PlaceBeside(window, opener);
        OpenWindows()[windowName] = window;  // a QPointer: cleared when the window is unloaded
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace brevant::frame
