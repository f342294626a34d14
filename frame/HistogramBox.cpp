#include "frame/HistogramBox.h"

#include <QAction>
#include <QFileInfo>
#include <QMouseEvent>
#include <QPainter>

#include "frame/Dialogs.h"
#include "frame/PlotWindow.h"
#include "plot/HistogramPainter.h"
#include "plot/RangeWords.h"

namespace brevant::frame {

namespace {
const QSize kPreferredSize(480, 400);  // the 6:5 shape of the logical page
const QSize kSmallestSavedSize = kPreferredSize * 2;
const QSize kSmallestSize(240, 200);

QAction* MakeAction(const QString& name, const QString& caption, QObject* parent) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(name);
    action->setEnabled(false);
    return action;
}
}  // namespace

HistogramBox::HistogramBox(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Histogram"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    saveAction_ = MakeAction(QStringLiteral("mnuSaveHistogram"), QStringLiteral("Save Histogram As..."), this);
    connect(saveAction_, &QAction::triggered, this, &HistogramBox::SaveHistogramAs);
    plotAction_ = MakeAction(QStringLiteral("mnuPlot"), QStringLiteral("Plot..."), this);
    connect(plotAction_, &QAction::triggered, this, &HistogramBox::ShowPlot);
    addAction(saveAction_);
    addAction(plotAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void HistogramBox::SetActionsEnabled(bool enabled) {
    saveAction_->setEnabled(enabled);
    plotAction_->setEnabled(enabled);
    QString tip = enabled ? QStringLiteral("Double-click for the detailed plot") : QString();
    if (enabled && !words_.isEmpty()) tip = words_ + QLatin1Char('\n') + tip;
    setToolTip(tip);
}

void HistogramBox::ShowHistogram(HistogramGeometry geometry, HistogramRequest request, std::vector<float> values) {
    geometry_ = std::move(geometry);
    request_ = std::move(request);
    values_ = std::move(values);
    words_ = plot::HistogramRangeWords(*geometry_, request_, values_);
    SetActionsEnabled(true);
    update();
    emit pictureChanged();
}

void HistogramBox::Clear() {
    geometry_.reset();
    request_ = {};
    values_ = {};
    words_.clear();
    SetActionsEnabled(false);
    update();
    emit pictureChanged();
}

PlotWindow* HistogramBox::Plot() const { return plot_; }

QSize HistogramBox::sizeHint() const { return kPreferredSize; }
QSize HistogramBox::minimumSizeHint() const { return kSmallestSize; }

void HistogramBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(contentsRect(), Qt::white);
    if (geometry_) {
        const QRectF target(contentsRect());
        plot::PaintHistogramWithWords(painter, target, *geometry_, words_,
                                      plot::ScaledHistogramFont(font(), target.size()));
    }
    drawFrame(&painter);
}

void HistogramBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    update();  // the whole picture is laid out anew, not only the uncovered part
}

void HistogramBox::mouseDoubleClickEvent(QMouseEvent* event) {
    if (geometry_ && event->button() == Qt::LeftButton) {
        ShowPlot();
        return;
    }
    QFrame::mouseDoubleClickEvent(event);
}

void HistogramBox::SaveHistogramAs() {
    if (!geometry_) {
        ShowMessage(this, QStringLiteral("There is no histogram to save yet: run the analysis first."));
        return;
    }
    const QString path = ShowFileDialog(this, {FileDialogKind::Save, kSaveHistogramTitle, kHistogramFileFilter});
    if (path.isEmpty()) return;
    // The picture as shown, but never smaller than twice the box's default size.
    const QSize size = contentsRect().size().expandedTo(kSmallestSavedSize);
    const QFont font = plot::ScaledHistogramFont(this->font(), QSizeF(size));
    const QString suffix = QFileInfo(path).suffix().toLower();
    QString error;
    if (suffix == QLatin1String("png"))
        error = plot::SaveHistogramPng(path, *geometry_, size, font, words_);
    else if (suffix == QLatin1String("svg"))
        error = plot::SaveHistogramSvg(path, *geometry_, size, font, words_);
    else
        error = QStringLiteral("The histogram can be saved as a PNG or an SVG image: please choose a file name "
                               "ending in .png or .svg.");
    if (!error.isEmpty()) ShowMessage(this, error);
}

void HistogramBox::ShowPlot() {
    if (!geometry_) {
        ShowMessage(this, QStringLiteral("There is nothing to plot yet: run the analysis first."));
        return;
    }
    if (plot_ == nullptr) plot_ = new PlotWindow(this);
    plot_->show();
    plot_->raise();
    plot_->activateWindow();
}

}  // namespace brevant::frame
