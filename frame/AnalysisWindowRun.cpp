// The run of an analysis window once its run start has passed: the data are read and checked here, on the
// window's thread, and the boxes they already give (the observed statistic) are shown; the resamples run on
// a worker (RunDriver); the result comes back here, where the output file is written first, then the
// histogram (which shifts the values) and all the result boxes are shown. A run that fails on the worker
// leaves the observed boxes showing: they are right whatever the resamples did.
#include "frame/AnalysisWindow.h"

#include "analysis/MonteCarloError.h"
#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "engine/Histogram.h"
#include "engine/NumberText.h"
#include "engine/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <new>
#include <variant>

namespace brevant::frame {

namespace {

// Three decimals in the user's locale; a value that rounds to zero shows no sign.
QString LocaleThreeDecimals(double value) {
    const QLocale locale;
    const QString text = locale.toString(value, 'f', 3);
    if (value < 0 && locale.toString(-value, 'f', 3) == locale.toString(0.0, 'f', 3)) {
        return locale.toString(0.0, 'f', 3);
    }
    return text;
}

}  // namespace

QString ResultBoxText(const brevant::ResultBox& box) {
    return std::visit(
        [&box](auto value) {
            if (box.format == BoxFormat::ThreeDecimals && std::isfinite(static_cast<double>(value))) {
                return LocaleThreeDecimals(static_cast<double>(value));
            }
            return QString::fromStdString(GeneralText(value));  // inf, -inf, nan as the procedures say
        },
        box.value);
}

bool AnalysisWindow::Running() const { return driver_->Running(); }

void AnalysisWindow::StartRun(const RunRequest& request) {
    PreparedRun prepared;
    try {
        DataFile file = OpenRunData(request.dataFile);
        prepared = prepare_(file, request.settings);
        unreadNote_ = QString::fromStdString(file.UnreadItemsNote().value_or(std::string()));
        if (!tableNote_.isEmpty()) unreadNote_ = unreadNote_.isEmpty() ? tableNote_ : tableNote_ + u'\n' + unreadNote_;
    } catch (const std::bad_alloc&) {
        MarkResultsStale();
        ShowMessage(this, QStringLiteral("There is not enough memory to read the data file %1.")
                              .arg(QDir::toNativeSeparators(request.dataFile)));
        return;
    } catch (const std::exception& e) {  // DataFileError, SettingsError: the message says what is wrong
        MarkResultsStale();
        ShowMessage(this, QString::fromStdString(e.what()));
        return;
    }
    // The data are good: the last run's results go, and what is known before the resamples shows.
    for (QLineEdit* box : resultLayout_->parentWidget()->findChildren<QLineEdit*>()) box->clear();
    histogram_->Clear();
    reportFigures_.reset();
    saveReport_->setEnabled(false);
    ShowNotes({unreadNote_});
    ShowBoxes(prepared.observed);
    // The bars start again; the sort's bar comes back with the sort, not showing the last run's end.
    ShowProgress1(1, request.settings.resamples);
    if (progress2_ != nullptr) progress2_->hide();
    running_ = request.settings;
    BeginRunRecord(request);
    if (!driver_->Start(std::move(prepared.work), row_.caption)) {
        EndRunRecord(true);
        ShowMessage(this, kRunInProgressMessage);
    }
}

void AnalysisWindow::ShowRunProgress(const RunControl& control) {
    const auto bar = [](std::int64_t done, std::int64_t total) {
        return std::pair{static_cast<std::int32_t>(std::max<std::int64_t>(1, done)),
                         static_cast<std::int32_t>(total)};
    };
    if (const std::int64_t total = control.resampleTotal.load(std::memory_order_relaxed); total > 0) {
        const auto [value, maximum] = bar(control.resamplesDone.load(std::memory_order_relaxed), total);
        ShowProgress1(value, maximum);
    }
    if (const std::int64_t total = control.sortTotal.load(std::memory_order_relaxed); total > 0) {
        const auto [value, maximum] = bar(control.sortDone.load(std::memory_order_relaxed), total);
        ShowProgress2(value, maximum);
    }
}

void AnalysisWindow::FinishRun(RunResult&& result) {
    QString writeProblem;
    try {
        WriteOutputFile(running_, result.resampled);
    } catch (const std::exception& e) {  // OutputFileError; the old file is as it was
        writeProblem = QString::fromStdString(e.what());
    }
    // After the output file: the histogram shifts the values in place, so the detailed plot keeps a copy.
    const HistogramRequest& h = result.histogram;
    std::vector<float> values = result.resampled;
    histogram_->ShowHistogram(ComputeHistogram(result.resampled, h.caption, h.observed, h.bounds), h, std::move(values));
    AddMonteCarloNotes(result, running_.resamples, row_.fifthCount);  // advice within the window's counts
    QStringList notes{unreadNote_};
    for (const std::string& note : result.notes) notes << QString::fromStdString(note);
    ShowNotes(notes);
    ShowBoxes(result.boxes);
    KeepForReport(result, notes, writeProblem.isEmpty());
    EndRunRecord(false);
    if (!writeProblem.isEmpty()) {
        ShowMessage(this, writeProblem + QStringLiteral(" The results of the run are shown in the window, but "
                                                        "the resampled values were not saved."));
    }
    for (const std::string& message : result.messages) ShowMessage(this, QString::fromStdString(message));
}

// The boxes known before the resamples stay: they are this run's.
void AnalysisWindow::FailRun(const QString& message) {
    EndRunRecord(true);
    ShowMessage(this, message);
}

void AnalysisWindow::ShowBoxes(std::span<const brevant::ResultBox> boxes) {
    QStringList missing;
    for (const brevant::ResultBox& box : boxes) {
        QLineEdit* edit = ResultBoxNamed(QString::fromStdString(box.control));
        if (edit == nullptr) {
            missing << QString::fromStdString(box.label + ": " + BoxText(box));
            continue;
        }
        edit->setText(ResultBoxText(box));
        edit->setCursorPosition(0);  // a long text shows its start
    }
    // A result without a box of its own is still shown, never dropped.
    if (!missing.isEmpty()) ShowNotes(QStringList{notes_->text()} + missing);
}

void AnalysisWindow::ShowNotes(const QStringList& notes) {
    QStringList lines;
    for (const QString& note : notes)
        if (!note.isEmpty()) lines << note;
    notes_->setText(lines.join(QLatin1Char('\n')));
    notes_->setVisible(!lines.isEmpty());
}

}  // namespace brevant::frame
