// The pictures of the main window and the About box, drawn in code so the program carries no image files.
#pragma once

#include <QPixmap>
#include <QSize>

namespace brevant::app {

// A small histogram of a resampled distribution, its obtained value marked by a caret below the axis.
QPixmap HistogramPicture(QSize size);

// A row of data values and, below it, one resample drawn from them with replacement.
QPixmap ResamplePicture(QSize size);

}  // namespace brevant::app
