// The BootstCorr window ("Bootstrapping Correlations"): the bootstrapped correlation on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class BootstCorr : public AnalysisWindow {
    Q_OBJECT

public:
    explicit BootstCorr(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
