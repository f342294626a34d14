#include "analysis/randomization/Repeated1wayWindow.h"

#include "analysis/randomization/Repeated1way.h"

namespace brevant::frame {

Repeated1way::Repeated1way(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtObtF"), QStringLiteral("label1"), QStringLiteral("Obtained F")},
                    {QStringLiteral("txtPctGreater"), QStringLiteral("Label2"), QStringLiteral("Number >= F")},
                    {QStringLiteral("txtProbMore"), QStringLiteral("Label3"), QStringLiteral("p as extreme")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckResamples(settings.resamples);
        Repeated1wayData data = ReadRepeated1wayData(file);
        std::vector<ResultBox> observed = ObservedRepeated1wayBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) mutable {
                    return PresentRepeated1way(RunRepeated1way(std::move(data), settings, generator, control),
                                               settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
