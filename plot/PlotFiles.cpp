#include "plot/PlotFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontInfo>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include "engine/OutputFile.h"
#include "plot/PlotPainter.h"

namespace brevant::plot {

namespace {

QString ExportFailure(const QString& path, const QString& reason) {
    return QStringLiteral("The plot could not be exported as %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

QByteArray PngBytes(const PlotModel& model, const QString& caption, QSize size, const QFont& font) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return {};
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        PaintPlot(painter, QRectF(QPointF(0, 0), QSizeF(size)), model, caption, font);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG")) return {};
    return bytes;
}

QByteArray PdfBytes(const PlotModel& model, const QString& caption, QSize size, const QFont& font,
                    const QString& title) {
    constexpr int kDotsPerInch = 96;  // one PDF unit per screen pixel of the view
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kDotsPerInch);
        pdf.setTitle(title);
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / kDotsPerInch, QPageSize::Point));
        QPainter painter;
        if (!painter.begin(&pdf)) return {};
        PaintPlot(painter, QRectF(QPointF(0, 0), QSizeF(size)), model, caption, font);
        painter.end();
    }
    return bytes;
}

}  // namespace

QString SavePlot(const QString& path, const PlotModel& model, const QString& caption, QSize size, const QFont& font,
                 const QString& title) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg") && suffix != QLatin1String("pdf"))
        return QStringLiteral(
            "The plot can be exported as a PNG or SVG image or a PDF document: please choose a "
            "file name ending in .png, .svg or .pdf.");
    if (size.width() < 1 || size.height() < 1) return ExportFailure(path, QStringLiteral("the plot has no size."));
    const QByteArray bytes = suffix == QLatin1String("png")   ? PngBytes(model, caption, size, font)
                             : suffix == QLatin1String("svg") ? PlotSvg(model, caption, size, font, title)
                                                              : PdfBytes(model, caption, size, font, title);
    if (bytes.isEmpty()) return ExportFailure(path, QStringLiteral("the picture could not be drawn."));
    try {
        WriteFileWhole(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), bytes.size()),
                       "plot file");
    } catch (const OutputFileError& e) {
        return ExportFailure(path, QString::fromStdString(e.Reason()));
    }
    return {};
}

}  // namespace brevant::plot
