// The analysis windows' picture box `Histogram`: shows the histogram of the last run scaled to its size,
// on white inside a sunken frame, saves it as a PNG or SVG picture, and opens the detailed plot of the same
// run ("Plot...", or a double click). Both entries are in its context menu and in the window's File menu.
// When the obtained value or resamples counted for p lie off the picture's range, words under the picture
// say so and where (plot/RangeWords.h); saved pictures carry them too.
#pragma once

#include <QFrame>
#include <QPointer>
#include <optional>
#include <vector>

#include "analysis/Procedure.h"
#include "engine/Histogram.h"

class QAction;

namespace brevant::frame {

class PlotWindow;

inline const QString kHistogramFileFilter = QStringLiteral("PNG image(*.png)|*.png|SVG image(*.svg)|*.svg");

class HistogramBox : public QFrame {
    Q_OBJECT

public:
    explicit HistogramBox(QWidget* parent = nullptr);

    // The picture of a run, what its window knows about the obtained value, extreme region and limits, and
    // the resampled values as the run gave them (before the histogram shifted them), for the detailed plot.
    void ShowHistogram(HistogramGeometry geometry, HistogramRequest request = {}, std::vector<float> values = {});
    void Clear();  // the box's state before a run: white, nothing to save
    const std::optional<HistogramGeometry>& Picture() const { return geometry_; }
    const HistogramRequest& Request() const { return request_; }
    const std::vector<float>& Values() const { return values_; }
    const QString& RangeWords() const { return words_; }  // empty when everything is on the picture

    QAction* SaveAction() const { return saveAction_; }  // "Save Histogram As..."
    QAction* PlotAction() const { return plotAction_; }  // "Plot..."
    PlotWindow* Plot() const;                            // the open detailed plot, or nullptr

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void pictureChanged();  // shown or cleared

public slots:
    // "Save Histogram As...": asks for a file name and saves by its extension (.png or .svg).
    void SaveHistogramAs();
    // "Plot...": opens (or brings forward) the detailed plot, which follows this box from then on.
    void ShowPlot();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void SetActionsEnabled(bool enabled);

    std::optional<HistogramGeometry> geometry_;
    HistogramRequest request_;
    std::vector<float> values_;
    QString words_;
    QAction* saveAction_ = nullptr;
    QAction* plotAction_ = nullptr;
    QPointer<PlotWindow> plot_;
};

}  // namespace brevant::frame
