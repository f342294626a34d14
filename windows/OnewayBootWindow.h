// The OnewayBoot window ("Bootstrapping Anova OneWay"): the one-way analysis of variance by bootstrap on
// the frame, with its check box ChkErrors "Bootstrap Errors" under the option groups.
#pragma once

#include "frame/AnalysisWindow.h"

class QCheckBox;

namespace brevant::frame {

class OnewayBoot : public AnalysisWindow {
    Q_OBJECT

public:
    explicit OnewayBoot(const WindowRow& row, QWidget* parent = nullptr);

    QCheckBox* ChkErrors() const { return chkErrors_; }

protected:
    QStringList BatchToolOptions() const override;
    QList<std::pair<QString, QString>> ChoiceSettings() const override;
    Choices RunChoices() const override;

private:
    QCheckBox* chkErrors_ = nullptr;
};

}  // namespace brevant::frame
