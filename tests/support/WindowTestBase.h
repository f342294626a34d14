// What the tests that drive analysis windows through their menus and buttons share: a folder for files, the
// messages the windows showed, the answers the replaced file dialog gives next, and the steps of a run.
#pragma once

#include "frame/AnalysisWindow.h"
#include "frame/Dialogs.h"
#include "frame/Shell.h"
#include "windows/RegisterWindows.h"
#include "engine/Module1.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QObject>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <string>

namespace brevant::testing {

class WindowTestBase : public QObject {
protected:
    static constexpr int kRunTimeout = 60000;

    explicit WindowTestBase(Seeds seeds) : seeds_(seeds) { frame::RegisterWindowClasses(); }

    QTemporaryDir dir_;
    QStringList messages_;
    QStringList answers_;  // the next file dialogs' answers

    QString Temp(const char* name) const { return dir_.filePath(QLatin1String(name)); }

    static frame::AnalysisWindow* Open(const char* name) {
        return qobject_cast<frame::AnalysisWindow*>(frame::ShowAnalysisWindow(QLatin1String(name)));
    }
    // Chooses a file through the window's own menu entry and the replaced file dialog.
    void Choose(frame::AnalysisWindow* w, const char* entry, const QString& file) {
        answers_ << file;
        QAction* action = w->findChild<QAction*>(QLatin1String(entry));
        QVERIFY2(action != nullptr, entry);
        action->trigger();
    }
    static void Click(frame::AnalysisWindow* w, const char* name) {
        auto* button = w->findChild<QAbstractButton*>(QLatin1String(name));
        QVERIFY2(button != nullptr, name);
        button->click();
    }
    static QString Box(frame::AnalysisWindow* w, const std::string& name) {
        QLineEdit* box = w->findChild<QLineEdit*>(QString::fromStdString(name));
        return box == nullptr ? QStringLiteral("<no box %1>").arg(QString::fromStdString(name)) : box->text();
    }
    // Run with the generator at the test's seeds, and wait for the result.
    void RunAndWait(frame::AnalysisWindow* w) const {
        SetSeeds(seeds_);
        w->RunButton()->click();
        QVERIFY(w->Running());
        QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), kRunTimeout);
    }

    // Messages are recorded, the file dialog gives the queued answers, and, with answerYes, the question
    // whether to replace an existing output file is answered "Yes": these runs mean to write there.
    void InstallHooks(bool answerYes = true) {
        frame::SetMessageHook([this](const QString& text) { messages_ << text; });
        if (answerYes) frame::SetQuestionHook([](const QString&) { return int(QMessageBox::Yes); });
        frame::SetFileDialogHook([this](frame::FileDialogKind, const QString&) {
            return answers_.isEmpty() ? QString() : answers_.takeFirst();
        });
    }

    // Closes the windows a test left open and lets them be deleted.
    static void CloseWindows() {
        for (int i = frame::LoadedWindowCount() - 1; i >= 0; --i)
            if (QWidget* w = frame::LoadedWindow(i)) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

private:
    Seeds seeds_;
};

}  // namespace brevant::testing
