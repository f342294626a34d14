#include "analysis/randomization/Corr1Window.h"

#include "analysis/randomization/Corr1.h"

#include <QDir>
#include <QFile>

namespace brevant::frame {

Corr1::Corr1(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    AddResultBoxes({{QStringLiteral("txtObtR"), QStringLiteral("label1"), QStringLiteral("Obtained r")},
                    {QStringLiteral("txtPctGreater"), QStringLiteral("Label2"), QStringLiteral("Number gt  | r |")},
                    {QStringLiteral("txtProbMore"), QStringLiteral("Label3"), QStringLiteral("p more extreme")}});
    UseProcedure([this](DataFile& file, const RunSettings& settings) -> PreparedRun {
        CheckResamples(settings.resamples);
        Corr1Data data = ReadCorr1Data(file);
        std::vector<ResultBox> observed = ObservedCorr1Boxes(data);
        std::string unused;
        if (!unusedOutput_.isEmpty()) {
            unused = "This window writes no output file; " + QDir::toNativeSeparators(unusedOutput_).toStdString() +
                     " was left as it was.";
        }
        return {[data = std::move(data), settings, unused](Generator& generator, RunControl& control) {
                    RunResult run = PresentCorr1(RunCorr1(data, settings, generator, control), settings);
                    if (!unused.empty()) run.notes.push_back(unused);
                    return run;
                },
                std::move(observed)};
    });
}

void Corr1::RunProcedure(const RunRequest& request) {
    unusedOutput_ = QFile::decodeName(request.settings.outputPath.c_str());
    RunRequest withoutOutput = request;
    withoutOutput.settings.outputPath.clear();
    AnalysisWindow::RunProcedure(withoutOutput);
}

}  // namespace brevant::frame
