#include "plot/Report.h"

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QLocale>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTextDocument>
#include <QUrl>
#include <filesystem>

#include "plot/PlotFiles.h"
#include "plot/PlotModel.h"
#include "plot/PlotPainter.h"

namespace brevant::plot {

namespace {

const QSize kPlotSize(900, 540);

// Text for the page: the five XML escapes; control characters, which neither HTML nor XML may hold, as
// U+FFFD. Bytes that are not UTF-8 (a file name) come out as U+FFFD too.
QString Escape(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '&':
                out += QLatin1String("&amp;");
                break;
            case '<':
                out += QLatin1String("&lt;");
                break;
            case '>':
                out += QLatin1String("&gt;");
                break;
            case '"':
                out += QLatin1String("&quot;");
                break;
            case '\'':
                out += QLatin1String("&#39;");
                break;
            default:
                if ((c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t')) || c.unicode() == 0x7f ||
                    (c.unicode() >= 0x80 && c.unicode() < 0xa0) || c.unicode() == 0xfffe || c.unicode() == 0xffff)
                    out += QChar(0xfffd);
                else
                    out += c;
        }
    }
    return out;
}
QString Escape(const std::string& text) { return Escape(QString::fromUtf8(text.data(), qsizetype(text.size()))); }

// A count with thousands grouped by commas, as the batch tool writes counts: 10,000.
QString Grouped(long long count) { return QLocale(QLocale::English, QLocale::UnitedStates).toString(count); }

std::string SeedsText(const Seeds& s) {
    return std::to_string(s.a) + "," + std::to_string(s.b) + "," + std::to_string(s.c);
}

QString Row(const QString& name, const QString& value) {
    return QStringLiteral("<tr><th scope=\"row\">%1</th><td>%2</td></tr>\n").arg(Escape(name), value);
}

QString DataSection(const ReportRun& run) {
    QString rows = Row(QStringLiteral("Data file"), QStringLiteral("<code>%1</code>").arg(Escape(run.dataFile)));
    if (!run.columns.empty()) rows += Row(QStringLiteral("Columns"), Escape(run.columns));
    return QStringLiteral("<h2>Data</h2>\n<table class=\"facts\">\n%1</table>\n").arg(rows);
}

QString SettingsSection(const ReportRun& run, const std::string& command) {
    QString rows = Row(QStringLiteral("Resamples"), Grouped(run.resamples));
    if (run.confidence) rows += Row(QStringLiteral("Confidence level"), QStringLiteral("%1 %").arg(*run.confidence));
    if (run.bootstrapErrors)
        rows += Row(QStringLiteral("Bootstrap Errors"),
                    *run.bootstrapErrors ? QStringLiteral("Yes") : QStringLiteral("No"));
    if (run.exactLimit != kDefaultExactLimit)
        rows += Row(QStringLiteral("Exact count limit"), Grouped(run.exactLimit));
    rows += Row(QStringLiteral("Output file"), run.outputFile.empty()
                                                   ? QStringLiteral("none")
                                                   : QStringLiteral("<code>%1</code>").arg(Escape(run.outputFile)));
    rows += Row(QStringLiteral("Seeds"), QStringLiteral("<code>%1</code>").arg(Escape(SeedsText(run.seeds))));
    return QStringLiteral(
               "<h2>Settings</h2>\n<table class=\"facts\">\n%1</table>\n"
               "<p>The batch tool repeats the run from these seeds, to the same figures:</p>\n"
               "<pre><code>%2</code></pre>\n")
        .arg(rows, Escape(command));
}

// One row per label, as the window shows them: boxes sharing a label side by side.
QString ResultsSection(std::span<const ReportResult> boxes) {
    QString rows;
    std::string lastLabel;
    QStringList cells;
    QString label;
    const auto flush = [&] {
        if (!cells.isEmpty())
            rows += QStringLiteral("<tr><th scope=\"row\">%1</th>%2</tr>\n").arg(label, cells.join(QString()));
        cells.clear();
    };
    for (const ReportResult& box : boxes) {
        if (cells.isEmpty() || box.labelControl != lastLabel) {
            flush();
            label = Escape(box.label);
        }
        cells << QStringLiteral("<td>%1</td>").arg(Escape(box.text));
        lastLabel = box.labelControl;
    }
    flush();
    return QStringLiteral("<h2>Results</h2>\n<table class=\"results\">\n%1</table>\n").arg(rows);
}

QString NotesSection(const ReportContent& content) {
    QString items;
    for (const auto* list : {&content.notes, &content.messages})
        for (const std::string& note : *list) items += QStringLiteral("<li>%1</li>\n").arg(Escape(note));
    if (items.isEmpty()) return {};
    return QStringLiteral("<h2>Notes</h2>\n<ul>\n%1</ul>\n").arg(items);
}

// The SVG document as an element of the page: the XML prologue dropped, its size in pixels rather than the
// millimetres it is written with, and room to shrink on a narrow page.
QString InlineSvg(const QByteArray& svg) {
    QString text = QString::fromUtf8(svg);
    const qsizetype start = text.indexOf(QLatin1String("<svg"));
    if (start < 0) return {};
    text = text.mid(start);
    const qsizetype end = text.indexOf(QLatin1Char('>'));
    QString open = text.left(end);
    static const QRegularExpression size(QStringLiteral(R"(\s(width|height)="[^"]*")"));
    open.replace(size, QString());
    open += QStringLiteral(" width=\"%1\" height=\"%2\" role=\"img\"").arg(kPlotSize.width()).arg(kPlotSize.height());
    return open + text.mid(end);
}

// The plot's figure: the picture (inline SVG, or an image the PDF document holds) and its notes.
QString PlotSection(const PlotModel& model, const ReportContent& content, const QString& picture) {
    QString notes;
    for (const QString& note : PlotNotes(model, content.histogram)) notes += Escape(note) + QLatin1Char(' ');
    return QStringLiteral("<h2>Plot</h2>\n<div class=\"plot\">%1</div>\n<p class=\"caption\">%2</p>\n")
        .arg(picture, notes.trimmed());
}

const char* const kStyle =
    "body{font-family:sans-serif;max-width:60em;margin:1.5em auto;padding:0 1em;color:#111;line-height:1.4}"
    "h1{font-size:1.5em;margin-bottom:0.2em}h2{font-size:1.15em;margin-top:1.4em;border-bottom:1px solid #ccc}"
    ".meta{color:#555;margin-top:0}table{border-collapse:collapse}th,td{padding:0.2em 0.8em 0.2em 0;"
    "text-align:left;vertical-align:top}th{font-weight:normal;color:#333}.results td{font-family:monospace;"
    "padding-right:1.5em}pre{background:#f4f4f4;padding:0.6em;white-space:pre-wrap;word-break:break-all}"
    "svg{max-width:100%;height:auto;border:1px solid #ddd}.caption{color:#333;margin-top:0.4em}"
    "@media print{body{margin:0;max-width:none}}";

QString PageHtml(const ReportContent& content, const PlotModel& model, const QString& picture) {
    const ReportRun& run = content.run;
    const QString title = QStringLiteral("%1: %2").arg(
        Escape(run.caption), Escape(QFileInfo(QString::fromStdString(run.dataFile)).fileName()));
    const QString meta =
        QStringLiteral("%1 \u00b7 written %2 by Brevant Procedures %3")
            .arg(Escape(run.procedure), QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                 Escape(content.version));
    QString page = QStringLiteral(
                       "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"/>\n"
                       "<title>%1</title>\n<style>%2</style>\n</head>\n<body>\n"
                       "<h1>%3</h1>\n<p class=\"meta\">%4</p>\n")
                       .arg(title, QString::fromLatin1(kStyle), Escape(run.caption), meta);
    page += DataSection(run) + SettingsSection(run, content.command) + ResultsSection(content.results) +
            NotesSection(content) + PlotSection(model, content, picture);
    page += QStringLiteral("</body>\n</html>\n");
    return page;
}

QString Caption(const ReportContent& content) { return QString::fromStdString(content.histogram.caption); }

}  // namespace

QByteArray ReportPage(const ReportContent& content) {
    const PlotModel model = BuildPlotModel(content.resampled, content.histogram);
    const QByteArray svg =
        PlotSvg(model, Caption(content), kPlotSize, PlotFontFor(kPlotSize), PlotTitle(model, Caption(content)));
    return PageHtml(content, model, InlineSvg(svg)).toUtf8();
}

// The same page laid out on A4 by the text engine, which draws no SVG: the plot goes in as a picture at
// twice its pixel size, shown three quarters of it across the page.
QByteArray ReportPdf(const ReportContent& content) {
    const PlotModel model = BuildPlotModel(content.resampled, content.histogram);
    QImage picture(kPlotSize * 2, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.scale(2, 2);
        PaintPlot(painter, QRectF(QPointF(0, 0), QSizeF(kPlotSize)), model, Caption(content), PlotFontFor(kPlotSize));
    }
    const QString name = QStringLiteral("plot.png");
    QTextDocument document;
    document.addResource(QTextDocument::ImageResource, QUrl(name), picture);
    document.setHtml(
        PageHtml(content, model,
                 QStringLiteral("<img src=\"%1\" width=\"%2\" height=\"%3\"/>")
                     .arg(name)
                     .arg(kPlotSize.width() * 3 / 4)
                     .arg(kPlotSize.height() * 3 / 4))
            .replace(QStringLiteral("<h2>Plot</h2>"),
                     QStringLiteral("<h2 style=\"page-break-before: always\">Plot</h2>"))
            .replace(QStringLiteral(";line-height:1.4"), QString()));  // the text engine spaces pictures too
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(96);  // the page's pixels are the screen's, as the page's sizes assume
        pdf.setTitle(QString::fromStdString(content.run.caption));
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
        document.print(&pdf);
    }
    return bytes;
}

QByteArray ReportDocument(const ReportContent& content, bool pdf) {
    return pdf ? ReportPdf(content) : ReportPage(content);
}

}  // namespace brevant::plot
