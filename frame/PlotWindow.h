// The detailed plot of a run: a larger, resizable window with the same resampled values as the picture box
// `Histogram`, drawn by the plot painter (plot/PlotPainter.h) that also draws the report's plot: every
// finite resampled value on value and count axes with readable ticks; the obtained value as a named line;
// the resamples counted as at least as extreme in their own colour over a shaded band (windows that report
// such a proportion) or the two limits marked (windows that report limits); a tooltip per bin; export to
// PNG, SVG and PDF.
//
// It follows its picture box: a new run's picture replaces the plot, a cleared box empties it.
// Control names: PlotView (the chart), lblPlotNotes, cmdExport, cmdClose, mnuPlotFile, mnuExportPlot,
// mnuClosePlot.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QWidget>
#include <optional>

#include "plot/PlotModel.h"
#include "plot/PlotPainter.h"

class QAction;
class QLabel;
class QPushButton;

namespace brevant::frame {

class HistogramBox;

inline const QString kPlotFileFilter =
    QStringLiteral("PNG image(*.png)|*.png|SVG image(*.svg)|*.svg|PDF document(*.pdf)|*.pdf");

// The chart: paints the plot of its model at its own size.
class PlotView : public QWidget {
public:
    explicit PlotView(QWidget* parent);
    void Show(std::optional<plot::PlotModel> model, QString caption);
    const std::optional<plot::PlotModel>& Model() const { return model_; }
    const QString& Caption() const { return caption_; }
    // Where the plot's parts go at the view's present size (only with a model).
    plot::PlotLayout Layout() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<plot::PlotModel> model_;
    QString caption_;
};

class PlotWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit PlotWindow(HistogramBox* box);
    ~PlotWindow() override;

    PlotView* View() const { return view_; }
    const std::optional<plot::PlotModel>& Model() const { return view_->Model(); }
    // The tooltip of bin k (0..100): the values it collects, how many there are, how many counted for p.
    QString BinTip(int bin) const;
    // The tooltip at a point of the view; empty outside the plot area.
    QString TipAt(QPoint viewPoint) const;

public slots:
    // "Export...": asks for a file name and saves the plot as shown by its extension (.png, .svg, .pdf).
    void ExportAs();
    void Refresh();  // rebuilds the plot from the picture box

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<HistogramBox> box_;
    PlotView* view_ = nullptr;
    QLabel* notes_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QAction* exportEntry_ = nullptr;
};

}  // namespace brevant::frame
