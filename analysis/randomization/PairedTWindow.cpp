#include "analysis/randomization/PairedTWindow.h"

#include "analysis/randomization/PairedT.h"

namespace brevant::frame {

// The two tail boxes share lblTail: the share at or below -|t| under its left half, at or above +|t| under
// its right half.
PairedT::PairedT(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtObtT"), QStringLiteral("label1"), QStringLiteral("Obtained t")},
                    {QStringLiteral("txtPctLess"), QStringLiteral("lblTail"), QStringLiteral("% < -t | % > +t"),
                     QStringLiteral("txtPctGreater")},
                    {QStringLiteral("txtProbMore"), QStringLiteral("Label3"), QStringLiteral("p as extreme")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckResamples(settings.resamples);
        PairedTData data = ReadPairedTData(file);
        std::vector<ResultBox> observed = ObservedPairedTBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) mutable {
                    return PresentPairedT(RunPairedT(std::move(data), settings, generator, control), settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
