#include "analysis/bootstrap/MediationBootWindow.h"

#include "analysis/bootstrap/MediationBoot.h"

namespace brevant::frame {

MediationBoot::MediationBoot(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtObtB"), QStringLiteral("label1"), QStringLiteral("Obtained  b(xyz)")},
                    {QStringLiteral("StErrBox"), QStringLiteral("Label6"), QStringLiteral("St. Error")},
                    {QStringLiteral("LowerCI"), QStringLiteral("Label2"), QStringLiteral("Lower Conf. Limit")},
                    {QStringLiteral("UpperCI"), QStringLiteral("Label3"), QStringLiteral("Upper Conf. Limit")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
        MediationBootData data = ReadMediationBootData(file);
        std::vector<ResultBox> observed = ObservedMediationBootBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) {
                    return PresentMediationBoot(RunMediationBoot(data, settings, generator, control), settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
