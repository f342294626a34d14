// Helpers of the window tests: example and work files, the procedure run directly on the test's thread from
// given seeds (what a window's run must equal), the texts a box must show, pictures to look at.
#pragma once

#include "analysis/MonteCarloError.h"
#include "analysis/Procedure.h"
#include "frame/AnalysisWindow.h"
#include "frame/HistogramBox.h"
#include "engine/Histogram.h"
#include "engine/NumberText.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QString>
#include <QWidget>
#include <QtTest>

#include <cmath>
#include <functional>
#include <variant>

namespace brevant::testing {

using WindowProcedure = std::function<RunResult(DataFile&, const RunSettings&, Generator&, RunControl&)>;

// One of the example data files the help offers.
inline QString Example(const char* name) {
    return QStringLiteral(BREVANT_SOURCE_DIR "/help/examples/") + QLatin1String(name);
}

// The file's bytes; empty when it cannot be read.
inline QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void WriteText(const QString& path, const QByteArray& text) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

// The same run on this thread, from seeds; leaves the generator where the run left it.
inline RunResult RunDirect(const WindowProcedure& procedure, Seeds seeds, const QString& dataFile,
                           std::int32_t resamples, float confidence = RunSettings{}.confidence) {
    SetSeeds(seeds);
    DataFile file = DataFile::Open(QFile::encodeName(dataFile).toStdString());
    RunSettings settings;
    settings.resamples = resamples;
    settings.confidence = confidence;
    RunControl control;
    return procedure(file, settings, TheGenerator(), control);
}

// The box's text as a window shows it: three decimals in the user's locale, the general text otherwise.
inline QString ExpectedBoxText(const ResultBox& box) {
    const double value = BoxValue(box);
    if (box.format == BoxFormat::ThreeDecimals && std::isfinite(value)) return QLocale().toString(value, 'f', 3);
    return QString::fromStdString(std::visit([](auto v) { return GeneralText(v); }, box.value));
}

// The window's histogram is the one drawn from the direct run's values (which the drawing shifts in place);
// expectedOut, when given, receives it.
inline void ExpectHistogramOf(frame::AnalysisWindow* w, RunResult& direct, HistogramGeometry* expectedOut = nullptr) {
    const HistogramRequest& h = direct.histogram;
    const HistogramGeometry expected = ComputeHistogram(direct.resampled, h.caption, h.observed, h.bounds);
    const std::optional<HistogramGeometry>& shown = w->Histogram()->Picture();
    QVERIFY(shown.has_value());
    QVERIFY(shown->counts == expected.counts);
    QCOMPARE(shown->markerX, expected.markerX);
    if (expectedOut != nullptr) *expectedOut = expected;
}

// The window's notes are the direct run's own, followed by the Monte Carlo notes the window adds.
inline void ExpectNotesOf(frame::AnalysisWindow* w, RunResult& direct, std::int32_t resamples) {
    AddMonteCarloNotes(direct, resamples, w->Row().fifthCount);
    QStringList notes;
    for (const std::string& note : direct.notes) notes << QString::fromStdString(note);
    QCOMPARE(w->NotesLabel()->text(), notes.join(QLatin1Char('\n')));
}

// With BREVANT_FRAME_SHOTS set, a picture of the window as the run left it, to look at.
inline void Shot(QWidget* w, const char* name) {
    const QString shots = qEnvironmentVariable("BREVANT_FRAME_SHOTS");
    if (shots.isEmpty()) return;
    QDir().mkpath(shots);
    w->grab().save(shots + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
}

// Deletes the objects whose deleteLater() has been called.
inline void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

}  // namespace brevant::testing
