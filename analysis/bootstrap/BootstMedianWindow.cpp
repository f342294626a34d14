#include "analysis/bootstrap/BootstMedianWindow.h"

#include "analysis/bootstrap/BootstMedian.h"

namespace brevant::frame {

BootstMedian::BootstMedian(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtMedian"), QStringLiteral("label1"), QStringLiteral("Obtained Median")},
                    {QStringLiteral("LowerCL"), QStringLiteral("Label3"), QStringLiteral("Lower CI")},
                    {QStringLiteral("UpperCL"), QStringLiteral("Label2"), QStringLiteral("Upper CI")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckNearestPercentileSettings(settings.resamples, settings.confidence);
        BootstMedianData data = ReadBootstMedianData(file);
        std::vector<ResultBox> observed = ObservedBootstMedianBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) {
                    return PresentBootstMedian(RunBootstMedian(data, settings, generator, control));
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
