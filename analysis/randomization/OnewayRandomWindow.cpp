#include "analysis/randomization/OnewayRandomWindow.h"

#include "analysis/randomization/OnewayRandom.h"

namespace brevant::frame {

OnewayRandom::OnewayRandom(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtObtF"), QStringLiteral("lblObtF"), QStringLiteral("Obtained F")},
                    {QStringLiteral("txtEffectSize"), QStringLiteral("Label2"), QStringLiteral("Effect size")},
                    {QStringLiteral("txtFPercent"), QStringLiteral("label5"), QStringLiteral("Percent => F(obt)")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckResamples(settings.resamples);
        OnewayData data = ReadOnewayRandomData(file);
        std::vector<ResultBox> observed = ObservedOnewayRandomBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) {
                    return PresentOnewayRandom(RunOnewayRandom(data, settings, generator, control), settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
