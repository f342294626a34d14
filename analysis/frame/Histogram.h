// The analysis windows' picture box `Histogram`: shows the histogram of the last run scaled to its size,
// on white inside a sunken frame, and saves it as a PNG or SVG picture from its context menu.
#pragma once

#include <QFrame>
#include <optional>

#include "engine/Histogram.h"

class QAction;

namespace brevant::frame {

inline const QString kHistogramFileFilter = QStringLiteral("PNG image(*.png)|*.png|SVG image(*.svg)|*.svg");

class HistogramBox : public QFrame {
    Q_OBJECT

public:
    explicit HistogramBox(QWidget* parent = nullptr);

    void ShowHistogram(HistogramGeometry geometry);
    void Clear();  // the box's state before a run: white, nothing to save
    const std::optional<HistogramGeometry>& Picture() const { return geometry_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

public slots:
    // "Save Histogram As...": asks for a file name and saves by its extension (.png or .svg).
    void SaveHistogramAs();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::optional<HistogramGeometry> geometry_;
    QAction* saveAction_ = nullptr;
};

}  // namespace brevant::frame
