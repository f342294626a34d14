#include "frame/PlotWindow.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "frame/Dialogs.h"
#include "frame/HistogramBox.h"
#include "plot/PlotFiles.h"

namespace brevant::frame {

namespace {

const QSize kInitialSize(900, 640);

// Enough decimals to tell a bin's two edges apart, and never fewer than the boxes show.
int EdgeDecimals(double binWidth) { return std::max(3, int(std::ceil(-std::log10(binWidth) - 1e-9)) + 1); }

}  // namespace

PlotView::PlotView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PlotView"));
    setMinimumSize(400, 300);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotView::Show(std::optional<plot::PlotModel> model, QString caption) {
    model_ = std::move(model);
    caption_ = std::move(caption);
    update();
}

plot::PlotLayout PlotView::Layout() const {
    return plot::LayOutPlot(*model_, QRectF(rect()), font(), const_cast<PlotView*>(this));
}

void PlotView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (model_) plot::PaintPlot(painter, QRectF(rect()), *model_, caption_, font());
}

PlotWindow::PlotWindow(HistogramBox* box) : QMainWindow(box, Qt::Window), box_(box) {
    setObjectName(QStringLiteral("PlotWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(box->window()->windowTitle() + QStringLiteral(" - Plot"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    view_ = new PlotView(central);
    view_->installEventFilter(this);
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

    connect(box, &HistogramBox::pictureChanged, this, &PlotWindow::Refresh);
    resize(kInitialSize);
    Refresh();
}

PlotWindow::~PlotWindow() = default;

void PlotWindow::Refresh() {
    const bool shown = box_ != nullptr && box_->Picture().has_value();
    exportButton_->setEnabled(shown);
    exportEntry_->setEnabled(shown);
    if (!shown) {
        view_->Show(std::nullopt, QString());
        notes_->setText(
            QStringLiteral("Nothing to plot: the window shows no histogram now (a run may be in "
                           "progress). The plot follows the next run."));
        return;
    }
    const HistogramRequest& request = box_->Request();
    plot::PlotModel model = plot::BuildPlotModel(box_->Values(), request);
    QStringList notes = plot::PlotNotes(model, request);
    notes.front() += QStringLiteral(" Point at a bar for its range and count.");
    view_->Show(std::move(model), QString::fromStdString(request.caption));
    notes_->setText(notes.join(QLatin1Char('\n')));
}

QString PlotWindow::BinTip(int bin) const {
    const auto& model = Model();
    if (!model || bin < 0 || bin >= int(model->bins.size())) return {};
    const plot::PlotBin& b = model->bins[static_cast<std::size_t>(bin)];
    const QLocale locale;
    const int decimals = EdgeDecimals(model->binWidth);
    const double share = model->total > 0 ? 100.0 * b.count / double(model->total) : 0.0;
    QString tip = QStringLiteral("Values from %1 to %2\n%3 of %4 (%5 %)")
                      .arg(locale.toString(b.from, 'f', decimals), locale.toString(b.to, 'f', decimals),
                           locale.toString(b.count), locale.toString(model->total), locale.toString(share, 'f', 1));
    if (b.counted > 0 && b.counted == b.count)
        tip += QStringLiteral("\nAll counted for p (at least as extreme)");
    else if (b.counted > 0)
        tip += QStringLiteral("\n%1 of them counted for p (at least as extreme)").arg(locale.toString(b.counted));
    return tip;
}

QString PlotWindow::TipAt(QPoint viewPoint) const {
    if (!Model()) return {};
    const plot::PlotLayout layout = view_->Layout();
    if (!layout.area.contains(QPointF(viewPoint))) return {};
    return BinTip(plot::BinAt(*Model(), layout.ValueAt(viewPoint.x())));
}

bool PlotWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view_ && event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = TipAt(help->pos());
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, view_);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void PlotWindow::ExportAs() {
    if (!Model()) {
        ShowMessage(this, QStringLiteral("There is nothing to export yet: run the analysis first."));
        return;
    }
    const QString path = ShowFileDialog(this, {FileDialogKind::Save, kExportPlotTitle, kPlotFileFilter});
    if (path.isEmpty()) return;
    const QString error = plot::SavePlot(path, *Model(), view_->Caption(), view_->size(), view_->font(),
                                         plot::PlotTitle(*Model(), view_->Caption()));
    if (!error.isEmpty()) ShowMessage(this, error);
}

}  // namespace brevant::frame
