#include "analysis/randomization/IndepTWindow.h"

#include "analysis/randomization/IndepT.h"

namespace brevant::frame {

IndepT::IndepT(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtObtT"), QStringLiteral("label1"), QStringLiteral("Obtained t")},
                    {QStringLiteral("txtNumLess"), QStringLiteral("Label2_0"), QStringLiteral("% < - t   | % >  +t"),
                     QStringLiteral("txtNumGreater")},
                    {QStringLiteral("txtProbMore"), QStringLiteral("Label3_0"), QStringLiteral("p more extreme")},
                    {QStringLiteral("txtEffectSize"), QStringLiteral("Label3_1"), QStringLiteral("Effect size")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckResamples(settings.resamples);
        IndepTData data = ReadIndepTData(file);
        std::vector<ResultBox> observed = ObservedIndepTBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) mutable {
                    return PresentIndepT(RunIndepT(std::move(data), settings, generator, control), settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
