// The detailed plot of a run: a larger, resizable window with the same resampled values as the picture box
// `Histogram`, on value and count axes with readable ticks; the obtained value as a labelled line; the
// region counted as at least as extreme shaded (windows that report such a proportion) or the two limits
// marked (windows that report limits); a tooltip per bin; export to PNG, SVG and PDF.
//
// It follows its picture box: a new run's picture replaces the plot, a cleared box empties it.
// Control names: PlotView (the chart), lblPlotNotes, cmdExport, cmdClose, mnuPlotFile, mnuExportPlot,
// mnuClosePlot.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <optional>
#include <vector>

#include "frame/PlotModel.h"

class QAction;
class QChart;
class QChartView;
class QGraphicsSimpleTextItem;
class QLabel;
class QPushButton;

namespace brevant::frame {

class HistogramBox;

inline const QString kPlotFileFilter =
    QStringLiteral("PNG image(*.png)|*.png|SVG image(*.svg)|*.svg|PDF document(*.pdf)|*.pdf");

class PlotWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit PlotWindow(HistogramBox* box);
    ~PlotWindow() override;

    QChartView* View() const { return view_; }
    const std::optional<PlotModel>& Model() const { return model_; }
    // The tooltip of bin k (0..100): the values it collects and how many there are.
    QString BinTip(int bin) const;
    // The tooltip at a point of the chart view's viewport; empty outside the plot area.
    QString TipAt(QPoint viewportPoint) const;

public slots:
    // "Export...": asks for a file name and saves the plot as shown by its extension (.png, .svg, .pdf).
    void ExportAs();
    void Refresh();  // rebuilds the plot from the picture box

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildChart(const PlotModel& model, const HistogramRequest& request);
    void PlaceMarkLabels();
    QString Notes(const PlotModel& model, const HistogramRequest& request) const;

    QPointer<HistogramBox> box_;
    QChartView* view_ = nullptr;
    QLabel* notes_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QAction* exportEntry_ = nullptr;
    std::optional<PlotModel> model_;
    struct MarkLabel {
        double value;
        QGraphicsSimpleTextItem* item;
    };
    std::vector<MarkLabel> markLabels_;
};

// Saves what the view shows at `size` by the path's extension: .png (pixels), .svg or .pdf (vector). The
// file is written in full beside the target and then renamed over it, so a failed export leaves an
// existing file as it was. Returns an empty string on success, otherwise what went wrong.
QString ExportChart(QChartView* view, const QString& path, QSize size);

}  // namespace brevant::frame
