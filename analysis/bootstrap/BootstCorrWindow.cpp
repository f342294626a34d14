#include "analysis/bootstrap/BootstCorrWindow.h"

#include "analysis/bootstrap/BootstCorr.h"

namespace brevant::frame {

BootstCorr::BootstCorr(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtObtR"), QStringLiteral("label1"), QStringLiteral("Obtained r")},
                    {QStringLiteral("StErrBox"), QStringLiteral("Label6"), QStringLiteral("St. Error")},
                    {QStringLiteral("LowerCI"), QStringLiteral("Label2"), QStringLiteral("Lower Conf. Limit")},
                    {QStringLiteral("UpperCI"), QStringLiteral("Label3"), QStringLiteral("Upper Conf. Limit")}});
    // A resample with no variance throws RunStopped: the frame shows its message, the obtained r stays.
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
        BootstCorrData data = ReadBootstCorrData(file);
        std::vector<ResultBox> observed = ObservedBootstCorrBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) {
                    return PresentBootstCorr(RunBootstCorr(data, settings, generator, control), settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
