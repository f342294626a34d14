#include "plot/HistogramPainter.h"

#include "engine/OutputFile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

namespace brevant::plot {

QString HistogramSaveFailure(const QString& path, const QString& reason) {
    return QStringLiteral("The histogram could not be saved as %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

namespace {

// The finished picture goes through the output-file writer: a regular file is replaced whole (its
// permission kept, a read-only one refused), a link is followed, and a pipe or device is written into.
QString WritePicture(const QString& path, const QString& failure, const QByteArray& bytes) {
    if (!failure.isEmpty()) return HistogramSaveFailure(path, failure);
    try {
        WriteFileWhole(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), bytes.size()),
                       "histogram file");
    } catch (const OutputFileError& e) {
        return HistogramSaveFailure(path, QString::fromStdString(e.Reason()));
    }
    return {};
}

}  // namespace

QString SaveHistogramPng(const QString& path, const HistogramGeometry& geometry, QSize size,
                         const std::optional<QFont>& font, const QString& words) {
    QByteArray bytes;
    const QString failure = HistogramPng(geometry, size, font, bytes, words);
    return WritePicture(path, failure, bytes);
}

QString SaveHistogramSvg(const QString& path, const HistogramGeometry& geometry, QSize size,
                         const std::optional<QFont>& font, const QString& words) {
    QByteArray bytes;
    const QString failure = HistogramSvg(geometry, size, font, bytes, words);
    return WritePicture(path, failure, bytes);
}

}  // namespace brevant::plot
