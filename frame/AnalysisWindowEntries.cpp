// The entries the frame gives every window beside its own design: the description, in the box the design
// has (mnuDescript) and whole in a window of its own (mnuFullDescription); Edit > Seeds..., which sets the
// generator the next run starts from, as the batch tool's --seed does; and the Run button's word on why it
// is disabled while another window's run is in progress.
#include "frame/AnalysisWindow.h"

#include "engine/SeedsText.h"
#include "frame/Description.h"
#include "frame/DescriptionViewer.h"
#include "frame/Dialogs.h"

#include <QAction>
#include <QBoxLayout>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>

namespace brevant::frame {

namespace {

QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// Shows and hides a widget with another (a note that belongs with a box).
class FollowVisibility : public QObject {
public:
    FollowVisibility(QWidget* leader, QWidget* follower) : QObject(leader), follower_(follower) {
        leader->installEventFilter(this);
        follower_->setVisible(leader->isVisible());
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) follower_->show();
        if (event->type() == QEvent::Hide) follower_->hide();
        return false;
    }

private:
    QWidget* follower_;
};

}  // namespace

void AnalysisWindow::mnuDescript_Click() {
    if (row_.descriptionFile.isEmpty()) return;
    if (!txtFile_->isVisible()) {
        txtFile_->setVisible(true);
        // Grow to make room for the box rather than squeeze the histogram, within the screen.
        QSize room = sizeHint();
        if (screen() != nullptr) room = room.boundedTo(screen()->availableGeometry().size());
        resize(size().expandedTo(room).expandedTo(minimumSizeHint()));
    }
    // Lines end in CR LF; the box shows line breaks only. Rebuilt from empty each time.
    QString text = ReadDescription(row_.descriptionFile);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    txtFile_->setPlainText(text);
    txtFile_->setEnabled(!row_.descriptionDisabled);
}

// After the window's own Description entry, in the same menu; a window whose design has none gets a Help
// menu for it, at the end of the menu bar.
void AnalysisWindow::AddDescriptionEntry() {
    if (row_.descriptionFile.isEmpty()) return;
    auto* entry = new QAction(QStringLiteral("Description (full text)..."), this);
    entry->setObjectName(QStringLiteral("mnuFullDescription"));
    entry->setProperty(kAddedEntryProperty, true);
    connect(entry, &QAction::triggered, this, &AnalysisWindow::ShowFullDescription);
    for (const Menu& menu : row_.menus) {
        for (std::size_t i = 0; i < menu.entries.size(); ++i) {
            if (menu.entries[i].handler != Handler::Description) continue;
            auto* qmenu = menuBar()->findChild<QMenu*>(menu.name);
            if (qmenu == nullptr) continue;
            const QList<QAction*> actions = qmenu->actions();
            const qsizetype at = actions.indexOf(qmenu->findChild<QAction*>(menu.entries[i].name));
            if (at >= 0 && at + 1 < actions.size()) {
                qmenu->insertAction(actions.at(at + 1), entry);
            } else {
                qmenu->addAction(entry);
            }
            if (row_.descriptionDisabled) AddDescriptionHint(QString(menu.caption).remove(QLatin1Char('&')));
            return;
        }
    }
    auto* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuFrameHelp"));
    help->menuAction()->setObjectName(QStringLiteral("mnuFrameHelp"));
    help->menuAction()->setProperty(kAddedEntryProperty, true);
    help->addAction(entry);
}

// Under a description box the design keeps greyed (it cannot be scrolled), where the whole text is.
void AnalysisWindow::AddDescriptionHint(const QString& menuCaption) {
    auto* hint = new QLabel(QStringLiteral("The whole description, to scroll and select: %1 > Description (full "
                                           "text)...")
                                .arg(menuCaption),
                            txtFile_->parentWidget());
    hint->setObjectName(QStringLiteral("lblDescriptionHint"));
    hint->setTextFormat(Qt::PlainText);
    auto* layout = qobject_cast<QBoxLayout*>(txtFile_->parentWidget()->layout());
    if (layout != nullptr) layout->insertWidget(layout->indexOf(txtFile_) + 1, hint);
    new FollowVisibility(txtFile_, hint);
}

void AnalysisWindow::ShowFullDescription() {
    if (viewer_ == nullptr)
        viewer_ = new DescriptionViewer(row_.descriptionFile, row_.caption + QStringLiteral(" - Description"), this);
    viewer_->show();
    viewer_->raise();
    viewer_->activateWindow();
}

// The generator is the program's one stream (engine/Module1.h): the seeds set here start the next run in
// any window, and the runs after it go on from where it ends, as after any run.
void AnalysisWindow::mnuSeeds_Click() {
    if (TheRunGate().Busy()) {
        ShowMessage(this, QStringLiteral("The seeds cannot change while a run is in progress (in the window "
                                         "\u201C%1\u201D). Set them when it has finished.")
                              .arg(TheRunGate().Holder()));
        return;
    }
    const QString label =
        QStringLiteral(
            "The next run, in any window, starts from these three seeds, A,B,C:\nA from 1 to %1, B from 1 to %2, "
            "C from 1 to %3.\nThe runs after it go on from where it ends. brevant-cli --seed A,B,C\nstarts from "
            "the same seeds, so a run here repeats a batch run.")
            .arg(kModulusA - 1)
            .arg(kModulusB - 1)
            .arg(kModulusC - 1);
    QString text = FromStd(SeedsText(GetSeeds()));
    for (;;) {
        const std::optional<QString> typed = AskText(this, QStringLiteral("Seeds"), label, text);
        if (!typed) return;  // cancelled: the generator goes on as it was
        QString compact = *typed;
        compact.remove(QLatin1Char(' '));  // "1, 2, 3" as typed in a box reads as the batch tool's "1,2,3"
        if (const std::optional<Seeds> seeds = ReadSeeds(compact.toStdString())) {
            SetSeeds(*seeds);
            const QString set = FromStd(SeedsText(*seeds));
            statusBar()->showMessage(QStringLiteral("The next run starts from the seeds %1.").arg(set), 10000);
            return;
        }
        ShowMessage(this, FromStd(SeedsProblem("The seeds", typed->toStdString())));
        text = *typed;  // asked again with what was typed, to correct
    }
}

void AnalysisWindow::FollowRunGate(bool busy) {
    runButton_->setEnabled(!busy);
    if (seedsAction_ != nullptr) seedsAction_->setEnabled(!busy);
    const QString holder = TheRunGate().Holder();
    const QString where =
        holder.isEmpty() ? QStringLiteral("another window") : QStringLiteral("the window \u201C%1\u201D").arg(holder);
    runButton_->setToolTip(!busy || holder == row_.caption
                               ? QString()
                               : QStringLiteral("A run is in progress in %1: one run at a time, so Run is available "
                                                "again when it has finished.")
                                     .arg(where));
}

}  // namespace brevant::frame
