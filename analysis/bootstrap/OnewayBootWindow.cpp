#include "analysis/bootstrap/OnewayBootWindow.h"

#include "analysis/bootstrap/OnewayBoot.h"

#include <QCheckBox>

namespace brevant::frame {

OnewayBoot::OnewayBoot(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    chkErrors_ = new QCheckBox(QStringLiteral("Bootstrap Errors"));
    chkErrors_->setObjectName(QStringLiteral("ChkErrors"));
    chkErrors_->setChecked(false);
    AddOptionWidget(chkErrors_);
    AddResultBoxes({{QStringLiteral("txtObtF"), QStringLiteral("lblObtF"), QStringLiteral("Obtained F")},
                    {QStringLiteral("txtEffectSize"), QStringLiteral("Label2"), QStringLiteral("Effect size")},
                    {QStringLiteral("txtFPercent"), QStringLiteral("label5"), QStringLiteral("Percent => Fobt")}});
    // The check box is read once, as the run starts; ticking it during a run changes nothing in that run.
    UseProcedure([this](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckResamples(settings.resamples);
        const bool bootstrapErrors = chkErrors_->isChecked();
        OnewayBootData data = ReadOnewayBootData(file);
        std::vector<ResultBox> observed = ObservedOnewayBootBoxes(data);
        return {[data = std::move(data), settings, bootstrapErrors](Generator& generator, RunControl& control) {
                    return PresentOnewayBoot(RunOnewayBoot(data, settings, bootstrapErrors, generator, control),
                                             settings);
                },
                std::move(observed)};
    });
}

QStringList OnewayBoot::BatchToolOptions() const {
    return chkErrors_->isChecked() ? QStringList{QStringLiteral("--errors")} : QStringList{};
}

}  // namespace brevant::frame
