// The histogram module itself (cli/HistogramModule.h), built with the painters of plot/ it needs into
// brevant-histogram.so.
#include "cli/HistogramModule.h"

#include "plot/HistogramPainter.h"
#include "plot/RangeWords.h"
#include "plot/Report.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QString>

namespace {

// Qt's start-up complains on standard error about a missing runtime folder, which the tool never uses;
// the user's terminal should show only the tool's own output.
void QuietStartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.startsWith(QStringLiteral("QStandardPaths:"))) return;
    qt_message_output(type, context, message);
}

// Fonts and painting on images need a GUI application object; the tool has no screen, so it uses the
// offscreen platform unless one is set.
void EnsureGuiApplication() {
    if (QCoreApplication::instance() != nullptr) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "brevant-cli";
    static char* argv[] = {name, nullptr};
    const QtMessageHandler previous = qInstallMessageHandler(QuietStartupMessages);
    // Kept to the end of the process: destroying it among static objects at exit is not safe.
    new QGuiApplication(argc, argv);
    qInstallMessageHandler(previous);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) bool BrevantHistogramPicture(
    const brevant::HistogramGeometry& geometry, const brevant::HistogramRequest& request,
    brevant::CountedOffHistogram off, std::int64_t resamples, bool png, int width, int height, std::string& bytes,
    std::string& failure) {
    static_assert(std::is_same_v<decltype(&BrevantHistogramPicture), brevant::cli::HistogramPictureFunction>);
    EnsureGuiApplication();
    QByteArray picture;
    const QSize size(width, height);
    const QString words = brevant::plot::HistogramRangeWords(geometry, request, off, resamples);
    const QString error = png ? brevant::plot::HistogramPng(geometry, size, std::nullopt, picture, words)
                              : brevant::plot::HistogramSvg(geometry, size, std::nullopt, picture, words);
    if (!error.isEmpty()) {
        failure = error.toStdString();
        return false;
    }
    bytes.assign(picture.constData(), static_cast<std::size_t>(picture.size()));
    return true;
}

extern "C" __attribute__((visibility("default"))) bool BrevantReportDocument(
    const brevant::plot::ReportContent& content, bool pdf, std::string& bytes, std::string& failure) {
    static_assert(std::is_same_v<decltype(&BrevantReportDocument), brevant::cli::ReportDocumentFunction>);
    EnsureGuiApplication();
    const QByteArray document = brevant::plot::ReportDocument(content, pdf);
    if (document.isEmpty()) {
        failure = "the report could not be drawn.";
        return false;
    }
    bytes.assign(document.constData(), static_cast<std::size_t>(document.size()));
    return true;
}
