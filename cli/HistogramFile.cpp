#include "cli/HistogramFile.h"

#include "engine/Histogram.h"
#include "engine/OutputFile.h"
#include "plot/HistogramPainter.h"

#include <QGuiApplication>
#include <QString>

#include <cctype>
#include <filesystem>

namespace brevant::cli {

namespace {

std::string Extension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

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

bool IsHistogramFileName(const std::string& path) {
    const std::string extension = Extension(path);
    return extension == ".svg" || extension == ".png";
}

void SaveHistogramFile(const std::string& path, RunResult& result) {
    const HistogramGeometry geometry = ComputeHistogram(result.resampled, result.histogram.caption,
                                                        result.histogram.observed, result.histogram.bounds);
    EnsureGuiApplication();
    const QSize size(kHistogramPixelsWide, kHistogramPixelsHigh);
    const QString file = QString::fromStdString(path);
    const QString error = Extension(path) == ".png" ? plot::SaveHistogramPng(file, geometry, size)
                                                    : plot::SaveHistogramSvg(file, geometry, size);
    if (!error.isEmpty()) throw OutputFileError(error.toStdString());
}

}  // namespace brevant::cli
