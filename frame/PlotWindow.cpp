#include "frame/PlotWindow.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileInfo>
#include <QGraphicsSimpleTextItem>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QImage>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QSaveFile>
#include <QSvgGenerator>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "plot/HistogramPainter.h"

namespace brevant::frame {

namespace {

const QColor kBarColour(70, 110, 170);
const QColor kExtremeBarColour(214, 96, 40);
const QColor kRegionColour(255, 170, 60, 70);
const QColor kObtainedColour(200, 0, 0);
const QColor kLimitColour(0, 120, 60);
const QSize kInitialSize(900, 640);

QString Number(double value) { return plot::HistogramLabel(value); }

QString Name(const std::string& text) { return QString::fromStdString(text); }

// Enough decimals to tell a bin's two edges apart, and never fewer than the boxes show.
int EdgeDecimals(double binWidth) {
    return std::max(3, int(std::ceil(-std::log10(binWidth) - 1e-9)) + 1);
}

QString RegionText(const ExtremeRegion& region) {
    const double t = region.threshold;
    if (region.tails == ExtremeRegion::Tails::Both) {
        if (t <= 0) return QStringLiteral("At least as extreme: every value");
        return QStringLiteral("At least as extreme: \u2264 %1 or \u2265 %2").arg(Number(-t), Number(t));
    }
    return QStringLiteral("At least as extreme: \u2265 %1").arg(Number(t));
}

QString MarkText(const PlotMark& mark) { return QStringLiteral("%1 = %2").arg(Name(mark.name), Number(mark.value)); }

// Ticks at exact multiples of the step, labelled in the user's locale.
QCategoryAxis* MakeAxis(const PlotAxis& axis, const QString& title) {
    auto* a = new QCategoryAxis;
    a->setRange(axis.min, axis.max);
    a->setStartValue(axis.min);
    a->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const QLocale locale;
    for (const double tick : TickValues(axis)) a->append(locale.toString(tick, 'f', axis.decimals), tick);
    a->setTitleText(title);
    return a;
}

// A filled area from the x axis up to the outline through `points` (each pair of points at one x).
QAreaSeries* MakeArea(const QList<QPointF>& points, const QString& name, const QBrush& brush, const QPen& pen) {
    auto* upper = new QLineSeries;
    auto* lower = new QLineSeries;
    for (const QPointF& p : points) {
        upper->append(p);
        lower->append(p.x(), 0.0);
    }
    auto* area = new QAreaSeries(upper, lower);
    upper->setParent(area);
    lower->setParent(area);
    area->setName(name);
    area->setBrush(brush);
    area->setPen(pen);
    return area;
}

QList<QPointF> BarOutline(const PlotModel& model, bool extreme) {
    QList<QPointF> points;
    for (const PlotBin& bin : model.bins) {
        if (bin.count == 0 || bin.extreme != extreme) continue;
        points << QPointF(bin.barLeft, 0) << QPointF(bin.barLeft, bin.count) << QPointF(bin.barRight, bin.count)
               << QPointF(bin.barRight, 0);
    }
    return points;
}

QLineSeries* MakeLine(double x, double top, const QString& name, const QPen& pen) {
    auto* line = new QLineSeries;
    line->append(x, 0.0);
    line->append(x, top);
    line->setName(name);
    line->setPen(pen);
    return line;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
}

QString SaveFailure(const QString& path, const QString& reason) {
    return QStringLiteral("The plot could not be exported as %1: %2").arg(QDir::toNativeSeparators(path), reason);
}

QString Commit(QSaveFile& file, const QString& path) {
    if (file.commit()) return {};
    const QString reason = file.errorString();
    return SaveFailure(path, reason.isEmpty() || reason == QLatin1String("Unknown error")
                                 ? QStringLiteral("the file could not be written there.")
                                 : reason);
}

void Render(QChartView* view, QPainter& painter, QSize size) {
    view->render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), view->viewport()->rect(), Qt::IgnoreAspectRatio);
}

QString WritePng(QChartView* view, QSaveFile& file, const QString& path, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    if (image.isNull()) return SaveFailure(path, QStringLiteral("not enough memory for the picture."));
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        Render(view, painter, size);
    }
    if (!image.save(&file, "PNG")) return SaveFailure(path, QStringLiteral("the PNG image could not be written."));
    return {};
}

QString WriteSvg(QChartView* view, QSaveFile& file, const QString& path, QSize size) {
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(view->window()->windowTitle());
    QPainter painter;
    if (!painter.begin(&svg)) return SaveFailure(path, QStringLiteral("the SVG image could not be started."));
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    Render(view, painter, size);
    painter.end();
    return {};
}

QString WritePdf(QChartView* view, QSaveFile& file, const QString& path, QSize size) {
    constexpr int kDotsPerInch = 96;  // one PDF unit per screen pixel of the view
    QPdfWriter pdf(&file);
    pdf.setResolution(kDotsPerInch);
    pdf.setTitle(view->window()->windowTitle());
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setPageSize(QPageSize(QSizeF(size) * 72.0 / kDotsPerInch, QPageSize::Point));
    QPainter painter;
    if (!painter.begin(&pdf)) return SaveFailure(path, QStringLiteral("the PDF document could not be started."));
    Render(view, painter, size);
    painter.end();
    return {};
}

}  // namespace

QString ExportChart(QChartView* view, const QString& path, QSize size) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    using Writer = QString (*)(QChartView*, QSaveFile&, const QString&, QSize);
    Writer write = suffix == QLatin1String("png")   ? WritePng
                   : suffix == QLatin1String("svg") ? WriteSvg
                   : suffix == QLatin1String("pdf") ? WritePdf
                                                    : nullptr;
    if (write == nullptr)
        return QStringLiteral("The plot can be exported as a PNG or SVG image or a PDF document: please choose a "
                              "file name ending in .png, .svg or .pdf.");
    if (size.width() < 1 || size.height() < 1) return SaveFailure(path, QStringLiteral("the plot has no size."));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return SaveFailure(path, file.errorString());
    if (QString error = write(view, file, path, size); !error.isEmpty()) {
        file.cancelWriting();
        return error;
    }
    return Commit(file, path);
}

PlotWindow::PlotWindow(HistogramBox* box) : QMainWindow(box, Qt::Window), box_(box) {
    setObjectName(QStringLiteral("PlotWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(box->window()->windowTitle() + QStringLiteral(" - Plot"));

    auto* chart = new QChart;
    chart->setLocalizeNumbers(true);
    chart->legend()->setAlignment(Qt::AlignBottom);
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    view_ = new QChartView(chart, central);
    view_->setObjectName(QStringLiteral("PlotView"));
    view_->setRenderHint(QPainter::Antialiasing);
    view_->setMinimumSize(400, 300);
    view_->viewport()->installEventFilter(this);
    layout->addWidget(view_, 1);

    notes_ = new QLabel(central);
    notes_->setObjectName(QStringLiteral("lblPlotNotes"));
    notes_->setTextFormat(Qt::PlainText);
    notes_->setWordWrap(true);
    layout->addWidget(notes_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    exportButton_ = new QPushButton(QStringLiteral("Export..."), central);
    exportButton_->setObjectName(QStringLiteral("cmdExport"));
    connect(exportButton_, &QPushButton::clicked, this, &PlotWindow::ExportAs);
    auto* close = new QPushButton(QStringLiteral("Close"), central);
    close->setObjectName(QStringLiteral("cmdClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(exportButton_);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    setCentralWidget(central);

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuPlotFile"));
    exportEntry_ = file->addAction(QStringLiteral("&Export..."), this, &PlotWindow::ExportAs);
    exportEntry_->setObjectName(QStringLiteral("mnuExportPlot"));
    exportEntry_->setShortcut(QKeySequence::Save);
    QAction* closeEntry = file->addAction(QStringLiteral("&Close"), this, &QWidget::close);
    closeEntry->setObjectName(QStringLiteral("mnuClosePlot"));
    closeEntry->setShortcut(QKeySequence::Close);

    connect(chart, &QChart::plotAreaChanged, this, [this] { PlaceMarkLabels(); });
    connect(box, &HistogramBox::pictureChanged, this, &PlotWindow::Refresh);
    resize(kInitialSize);
    Refresh();
}

PlotWindow::~PlotWindow() = default;

void PlotWindow::Refresh() {
    QChart* chart = view_->chart();
    for (const MarkLabel& label : markLabels_) delete label.item;
    markLabels_.clear();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    const bool shown = box_ != nullptr && box_->Picture().has_value();
    exportButton_->setEnabled(shown);
    exportEntry_->setEnabled(shown);
    if (!shown) {
        model_.reset();
        chart->setTitle(QString());
        notes_->setText(QStringLiteral("Nothing to plot: the window shows no histogram now (a run may be in "
                                       "progress). The plot follows the next run."));
        return;
    }
    model_ = BuildPlotModel(box_->Values(), box_->Request());
    BuildChart(*model_, box_->Request());
    notes_->setText(Notes(*model_, box_->Request()));
}

void PlotWindow::BuildChart(const PlotModel& model, const HistogramRequest& request) {
    QChart* chart = view_->chart();
    chart->setTitle(QStringLiteral("%1: %2 resampled values").arg(Name(request.caption), QLocale().toString(model.total)));
    QCategoryAxis* x = MakeAxis(model.x, Name(request.caption));
    QCategoryAxis* y = MakeAxis(model.y, QStringLiteral("Count"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    if (!model.shaded.empty() && model.region) {
        QList<QPointF> points;
        for (const auto& [from, to] : model.shaded)
            points << QPointF(from, 0) << QPointF(from, model.y.max) << QPointF(to, model.y.max) << QPointF(to, 0);
        Attach(chart, MakeArea(points, RegionText(*model.region), kRegionColour, Qt::NoPen), x, y);
    }
    Attach(chart, MakeArea(BarOutline(model, false), QStringLiteral("Resampled values"), kBarColour,
                           QPen(kBarColour.darker(130), 1)),
           x, y);
    const QList<QPointF> extremeBars = BarOutline(model, true);
    if (!extremeBars.isEmpty()) {
        QAreaSeries* bars = MakeArea(extremeBars, QStringLiteral("Resampled values in that region"),
                                     kExtremeBarColour, QPen(kExtremeBarColour.darker(130), 1));
        Attach(chart, bars, x, y);
    }

    const auto addMark = [&](const PlotMark& mark, const QPen& pen) {
        if (!mark.onAxis) return;
        Attach(chart, MakeLine(mark.value, model.y.max, MarkText(mark), pen), x, y);
        auto* label = new QGraphicsSimpleTextItem(Name(mark.name), chart);
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
        label->setBrush(pen.color());
        markLabels_.push_back({mark.value, label});
    };
    for (const PlotMark& limit : model.limits) addMark(limit, QPen(kLimitColour, 2, Qt::DashLine));
    if (model.obtained) addMark(*model.obtained, QPen(kObtainedColour, 2));
    PlaceMarkLabels();
}

// Each line's name beside its top, inside the plot area; a name that would cover one placed before it
// goes a text line lower.
void PlotWindow::PlaceMarkLabels() {
    if (!model_) return;
    QChart* chart = view_->chart();
    const QRectF area = chart->plotArea();
    std::vector<QRectF> placed;
    for (const MarkLabel& label : markLabels_) {
        const QPointF top = chart->mapToPosition(QPointF(label.value, model_->y.max));
        QRectF box = label.item->boundingRect();
        double left = top.x() + 4;
        if (left + box.width() > area.right()) left = top.x() - 4 - box.width();
        box.moveTo(left, area.top() + 4);
        while (std::any_of(placed.begin(), placed.end(), [&](const QRectF& other) { return other.intersects(box); }))
            box.translate(0, box.height() + 2);
        label.item->setPos(box.topLeft());
        placed.push_back(box);
    }
}

QString PlotWindow::Notes(const PlotModel& model, const HistogramRequest& request) const {
    const QLocale locale;
    QStringList lines;
    lines << QStringLiteral("%1 resampled values in %2 bins of width %3; point at a bar for its range and count.")
                 .arg(locale.toString(model.total))
                 .arg(model.bins.size())
                 .arg(locale.toString(model.binWidth, 'g', 6));
    if (model.notShown > 0)
        lines << (model.notShown == 1 ? QStringLiteral("1 of them lies outside the bins or is not a finite number, "
                                                       "and is not shown.")
                                      : QStringLiteral("%1 of them lie outside the bins or are not finite numbers, "
                                                       "and are not shown.")
                                            .arg(locale.toString(model.notShown)));
    if (model.region && model.shaded.empty())
        lines << QStringLiteral("No part of the plotted range is at least as extreme (%1).")
                     .arg(RegionText(*model.region).section(QStringLiteral(": "), 1));
    const QString obtainedName = Name(request.observedLabel.empty() ? "Obtained value" : request.observedLabel);
    if (!model.obtained)
        lines << QStringLiteral("%1 is not a finite number, so it has no line.").arg(obtainedName);
    for (const PlotMark* mark : [&] {
             std::vector<const PlotMark*> all;
             if (model.obtained) all.push_back(&*model.obtained);
             for (const PlotMark& limit : model.limits) all.push_back(&limit);
             return all;
         }()) {
        if (!mark->onAxis) lines << QStringLiteral("%1 lies far beyond the bins and is not drawn.").arg(MarkText(*mark));
    }
    return lines.join(QLatin1Char('\n'));
}

QString PlotWindow::BinTip(int bin) const {
    if (!model_ || bin < 0 || bin >= int(model_->bins.size())) return {};
    const PlotBin& b = model_->bins[static_cast<std::size_t>(bin)];
    const QLocale locale;
    const int decimals = EdgeDecimals(model_->binWidth);
    const double share = model_->total > 0 ? 100.0 * b.count / double(model_->total) : 0.0;
    QString tip = QStringLiteral("Values from %1 to %2\n%3 of %4 (%5 %)")
                      .arg(locale.toString(b.from, 'f', decimals), locale.toString(b.to, 'f', decimals),
                           locale.toString(b.count), locale.toString(model_->total), locale.toString(share, 'f', 1));
    if (model_->region) {
        const ExtremeRegion& r = *model_->region;
        const bool both = r.tails == ExtremeRegion::Tails::Both;
        const bool whole = b.from >= r.threshold || (both && b.to <= -double(r.threshold));
        const bool part = b.to >= r.threshold || (both && b.from <= -double(r.threshold));
        if (whole)
            tip += QStringLiteral("\nCounted as at least as extreme");
        else if (part)
            tip += QStringLiteral("\nPartly counted as at least as extreme");
    }
    return tip;
}

QString PlotWindow::TipAt(QPoint viewportPoint) const {
    if (!model_) return {};
    QChart* chart = view_->chart();
    const QPointF at = chart->mapFromScene(view_->mapToScene(viewportPoint));
    if (!chart->plotArea().contains(at)) return {};
    return BinTip(BinAt(*model_, chart->mapToValue(at).x()));
}

bool PlotWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_->viewport() && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = TipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, view_->viewport());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void PlotWindow::ExportAs() {
    if (!model_) {
        ShowMessage(this, QStringLiteral("There is nothing to export yet: run the analysis first."));
        return;
    }
    const QString path = ShowFileDialog(this, {FileDialogKind::Save, kExportPlotTitle, kPlotFileFilter});
    if (path.isEmpty()) return;
    const QString error = ExportChart(view_, path, view_->viewport()->size());
    if (!error.isEmpty()) ShowMessage(this, error);
}

}  // namespace brevant::frame
