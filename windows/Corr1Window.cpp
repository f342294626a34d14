#include "windows/Corr1Window.h"

#include <QDir>
#include <QFile>

namespace brevant::frame {

// An output file named for a run is kept but not written, and the run's notes say so.
Corr1::Corr1(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) {
    UseCatalogueProcedure();
    UseProcedure([this, plain = Preparation()](DataFile& file, const RunSettings& settings) {
        PreparedRun prepared = plain(file, settings);
        if (unusedOutput_.isEmpty()) return prepared;
        const std::string unused = "This window writes no output file; " +
                                   QDir::toNativeSeparators(unusedOutput_).toStdString() + " was left as it was.";
        prepared.work = [work = std::move(prepared.work), unused](Generator& generator, RunControl& control) {
            RunResult run = work(generator, control);
            run.notes.push_back(unused);
            return run;
        };
        return prepared;
    });
}

void Corr1::RunProcedure(const RunRequest& request) {
    unusedOutput_ = QFile::decodeName(request.settings.outputPath.c_str());
    RunRequest withoutOutput = request;
    withoutOutput.settings.outputPath.clear();
    AnalysisWindow::RunProcedure(withoutOutput);
}

}  // namespace brevant::frame
