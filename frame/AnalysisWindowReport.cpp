// File > Save Report...: the report of the run on show (plot/Report.h), the same page `brevant-cli --report`
// writes, built from what the window shows: its procedure, the run's data file, settings and seeds, the
// result boxes and notes, and the detailed plot of the picture box's values.
#include "frame/AnalysisWindow.h"

#include "analysis/catalogue/ProcedureCatalogue.h"
#include "engine/OutputFile.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "plot/Report.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>

namespace brevant::frame {

namespace {
const QString kSaveReportTitle = QStringLiteral("Save report");
const QString kReportFilter = QStringLiteral("HTML page(*.html)|*.html|PDF document(*.pdf)|*.pdf");
}  // namespace

void AnalysisWindow::KeepForReport(const RunResult& result, const QStringList& notes, bool outputWritten) {
    ReportFigures figures;
    figures.boxes = result.boxes;
    for (const QString& note : notes)
        if (!note.isEmpty()) figures.notes.push_back(note.toStdString());
    figures.messages = result.messages;
    if (outputWritten && WritesOutputFile()) figures.outputFile = running_.outputPath;
    reportFigures_ = std::move(figures);
    saveReport_->setEnabled(true);
}

std::optional<plot::ReportContent> AnalysisWindow::ReportContent() const {
    if (!reportFigures_ || !shown_ || !histogram_->Picture()) return std::nullopt;
    const RunRecord& record = *shown_;
    const CatalogueEntry* entry = FindProcedure(row_.name.toStdString());
    plot::ReportRun run;
    run.procedure = row_.name.toStdString();
    run.caption = row_.caption.toStdString();
    run.dataFile = QDir::toNativeSeparators(QFileInfo(record.dataFile).absoluteFilePath()).toStdString();
    run.columns = record.columns.toStdString();
    run.resamples = record.resamples;
    if (!record.level.isEmpty()) run.confidence = QString(record.level).remove(QStringLiteral(" %")).toInt();
    if (entry != nullptr && entry->Has(kBootstrapErrors))
        run.bootstrapErrors = record.options.contains(QStringLiteral("--errors"));
    for (const QString& option : record.options) run.options.push_back(option.toStdString());
    run.seeds = record.seeds;
    run.outputFile = QFile::decodeName(QByteArray::fromStdString(reportFigures_->outputFile)).toStdString();
    plot::ReportContent content = plot::MakeReportContent(std::move(run), reportFigures_->boxes);
    content.notes = reportFigures_->notes;
    content.messages = reportFigures_->messages;
    content.resampled = histogram_->Values();
    content.histogram = histogram_->Request();
    return content;
}

void AnalysisWindow::SaveReport() {
    const std::optional<plot::ReportContent> content = ReportContent();
    if (!content) {
        ShowMessage(this, QStringLiteral("There is no report to save yet: run the analysis first."));
        return;
    }
    const QString path = ShowFileDialog(this, {FileDialogKind::Save, kSaveReportTitle, kReportFilter, true});
    if (path.isEmpty()) return;
    try {
        // Never over the data file; a folder that cannot be written is named before anything is drawn.
        const std::string target = QFile::encodeName(path).toStdString();
        plot::CheckReportFile(target, QFile::encodeName(shown_->dataFile).toStdString());
        const QByteArray document = plot::ReportDocument(*content, plot::IsPdfReportName(target));
        WriteFileWhole(target, std::string_view(document.constData(), std::size_t(document.size())), "report file");
    } catch (const OutputFileError& e) {
        ShowMessage(this, QString::fromStdString(e.what()));
        return;
    }
    statusBar()->showMessage(QStringLiteral("Report saved as %1.").arg(QDir::toNativeSeparators(path)), 4000);
}

}  // namespace brevant::frame
