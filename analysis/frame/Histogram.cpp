#include "analysis/frame/Histogram.h"

#include <QAction>
#include <QFileInfo>
#include <QPainter>

#include "analysis/frame/Dialogs.h"
#include "plot/HistogramPainter.h"

namespace brevant::frame {

namespace {
const QSize kPreferredSize(480, 400);  // the 6:5 shape of the logical page
const QSize kSmallestSize(240, 200);
}  // namespace

HistogramBox::HistogramBox(QWidget* parent) : QFrame(parent) {
    setObjectName(QStringLiteral("Histogram"));
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    saveAction_ = new QAction(QStringLiteral("Save Histogram As..."), this);
    saveAction_->setObjectName(QStringLiteral("mnuSaveHistogram"));
    saveAction_->setEnabled(false);
    connect(saveAction_, &QAction::triggered, this, &HistogramBox::SaveHistogramAs);
    addAction(saveAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void HistogramBox::ShowHistogram(HistogramGeometry geometry) {
    geometry_ = std::move(geometry);
    saveAction_->setEnabled(true);
    update();
}

void HistogramBox::Clear() {
    geometry_.reset();
    saveAction_->setEnabled(false);
    update();
}

QSize HistogramBox::sizeHint() const { return kPreferredSize; }
QSize HistogramBox::minimumSizeHint() const { return kSmallestSize; }

void HistogramBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(contentsRect(), Qt::white);
    if (geometry_) plot::PaintHistogram(painter, QRectF(contentsRect()), *geometry_, font());
    drawFrame(&painter);
}

void HistogramBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    update();  // the whole picture is laid out anew, not only the uncovered part
}

void HistogramBox::SaveHistogramAs() {
    if (!geometry_) {
        ShowMessage(this, QStringLiteral("There is no histogram to save yet: run the analysis first."));
        return;
    }
    const QString path = ShowFileDialog(this, FileDialogKind::Save, kHistogramFileFilter);
    if (path.isEmpty()) return;
    // The picture as shown, but never smaller than a legible size.
    const QSize size = contentsRect().size().expandedTo(kPreferredSize);
    const QString suffix = QFileInfo(path).suffix().toLower();
    QString error;
    if (suffix == QLatin1String("png"))
        error = plot::SaveHistogramPng(path, *geometry_, size, font());
    else if (suffix == QLatin1String("svg"))
        error = plot::SaveHistogramSvg(path, *geometry_, size, font());
    else
        error = QStringLiteral("The histogram can be saved as a PNG or an SVG image: please choose a file name "
                               "ending in .png or .svg.");
    if (!error.isEmpty()) ShowMessage(this, error);
}

}  // namespace brevant::frame
