#include "windows/OnewayBootWindow.h"

#include <QCheckBox>

namespace brevant::frame {

OnewayBoot::OnewayBoot(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    chkErrors_ = new QCheckBox(QStringLiteral("Bootstrap Errors"));
    chkErrors_->setObjectName(QStringLiteral("ChkErrors"));
    chkErrors_->setChecked(false);
    AddOptionWidget(chkErrors_);
    UseCatalogueProcedure();
}

QStringList OnewayBoot::BatchToolOptions() const {
    return chkErrors_->isChecked() ? QStringList{QStringLiteral("--errors")} : QStringList{};
}

QList<std::pair<QString, QString>> OnewayBoot::ChoiceSettings() const {
    return {{chkErrors_->text(), chkErrors_->isChecked() ? QStringLiteral("yes") : QStringLiteral("no")}};
}

// The check box is read once, as the run starts; ticking it during a run changes nothing in that run.
Choices OnewayBoot::RunChoices() const { return {chkErrors_->isChecked()}; }

}  // namespace brevant::frame
