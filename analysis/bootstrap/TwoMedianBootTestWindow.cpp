#include "analysis/bootstrap/TwoMedianBootTestWindow.h"

#include "analysis/bootstrap/TwoMedianBootTest.h"

namespace brevant::frame {

TwoMedianBootTest::TwoMedianBootTest(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtMedian1"), QStringLiteral("label1"), QStringLiteral("Median Group 1")},
                    {QStringLiteral("txtMedian2"), QStringLiteral("label5"), QStringLiteral("Median Group 2")},
                    {QStringLiteral("txtMedDiff"), QStringLiteral("Label2"), QStringLiteral("Median Difference")},
                    {QStringLiteral("txtLowerCL"), QStringLiteral("Label3"), QStringLiteral("Lower CL")},
                    {QStringLiteral("txtUpperCL"), QStringLiteral("Label6"), QStringLiteral("Upper CL")}});
    UseProcedure([](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckNearestPercentileSettings(settings.resamples, settings.confidence);
        TwoMedianBootTestData data = ReadTwoMedianBootTestData(file);
        std::vector<ResultBox> observed = ObservedTwoMedianBootTestBoxes(data);
        return {[data = std::move(data), settings](Generator& generator, RunControl& control) {
                    return PresentTwoMedianBootTest(RunTwoMedianBootTest(data, settings, generator, control), settings);
                },
                std::move(observed)};
    });
}

}  // namespace brevant::frame
