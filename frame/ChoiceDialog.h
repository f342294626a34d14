// Questions with answers of their own: a message with a button per answer, or a list to pick one item from.
// A seam as in Dialogs.h lets tests answer them without a modal loop.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace brevant::frame {

// The text with a button per answer, the last being the one Escape gives; returns the answer's index.
int AskChoice(QWidget* parent, const QString& text, const QStringList& answers);

// A list of items to choose one from, with OK and Cancel; returns the item's index, or -1 for Cancel.
int AskListChoice(QWidget* parent, const QString& text, const QStringList& items);

// Test seam: while set, answers both kinds (the index of an answer or item; -1 for a list's Cancel).
using ChoiceHook = std::function<int(const QString& text, const QStringList& answers)>;
void SetChoiceHook(ChoiceHook hook);

}  // namespace brevant::frame
