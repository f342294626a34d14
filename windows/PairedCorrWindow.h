// The PairedCorr window ("Paired Correlations"): the randomization distribution of a correlation under
// exchanged conditions, its limits and standard error, on the frame. It writes no output file.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class PairedCorr : public AnalysisWindow {
    Q_OBJECT

public:
    explicit PairedCorr(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
