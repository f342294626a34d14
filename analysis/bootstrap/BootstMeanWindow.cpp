#include "analysis/bootstrap/BootstMeanWindow.h"

#include "analysis/bootstrap/BootstMean.h"

namespace brevant::frame {

BootstMean::BootstMean(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtMean"), QStringLiteral("label1"), QStringLiteral("Obtained Mean")},
                    {QStringLiteral("LowerCL"), QStringLiteral("Label2"), QStringLiteral("Lower CI")},
                    {QStringLiteral("UpperCL"), QStringLiteral("Label3"), QStringLiteral("Upper CI")},
                    {QStringLiteral("txtStError"), QStringLiteral("Label6"),
                     QStringLiteral("St. Error of Bootstrap Distribution")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckNearestPercentileSettings(settings.resamples, settings.confidence);
        BootstMeanData data = ReadBootstMeanData(file);
        std::vector<ResultBox> observed = ObservedBootstMeanBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) {
                    return PresentBootstMean(RunBootstMean(data, settings, generator, control), settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
