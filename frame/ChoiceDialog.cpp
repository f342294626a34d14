#include "frame/ChoiceDialog.h"

#include "frame/Dialogs.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace brevant::frame {

namespace {
ChoiceHook choiceHook;
}  // namespace

void SetChoiceHook(ChoiceHook hook) { choiceHook = std::move(hook); }

int AskChoice(QWidget* parent, const QString& text, const QStringList& answers) {
    if (choiceHook) return choiceHook(text, answers);
    QMessageBox box(QMessageBox::Question, kProgramTitle, text, QMessageBox::NoButton, parent);
    QList<QPushButton*> buttons;
    for (qsizetype i = 0; i < answers.size(); ++i) {
        const bool last = i + 1 == answers.size();
        buttons << box.addButton(answers[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(buttons.first());
        box.setEscapeButton(buttons.last());
    }
    box.exec();
    const qsizetype chosen = buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return chosen < 0 ? static_cast<int>(answers.size()) - 1 : static_cast<int>(chosen);
}

int AskListChoice(QWidget* parent, const QString& text, const QStringList& items) {
    if (choiceHook) return choiceHook(text, items);
    bool ok = false;
    const QString item = QInputDialog::getItem(parent, kProgramTitle, text, items, 0, false, &ok);
    return ok ? static_cast<int>(items.indexOf(item)) : -1;
}

}  // namespace brevant::frame
