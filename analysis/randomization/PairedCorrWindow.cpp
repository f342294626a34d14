#include "analysis/randomization/PairedCorrWindow.h"

#include "analysis/randomization/PairedCorr.h"

namespace brevant::frame {

PairedCorr::PairedCorr(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtObtR"), QStringLiteral("label1"), QStringLiteral("Obtained r")},
                    {QStringLiteral("txtLowerCI"), QStringLiteral("Label2"), QStringLiteral("Lower Conf. Limit")},
                    {QStringLiteral("txtUpperCI"), QStringLiteral("Label3"), QStringLiteral("Upper Conf. Limit")},
                    {QStringLiteral("StErrBox"), QStringLiteral("Label6"), QStringLiteral("St. Error")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckIntegerPartPercentileSettings(settings.resamples, settings.confidence);
        PairedCorrData data = ReadPairedCorrData(file);
        std::vector<ResultBox> observed = ObservedPairedCorrBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) {
                    return PresentPairedCorr(RunPairedCorr(data, settings, generator, control), settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
