// The BootstMedian window ("Bootstrapping Medians"): the bootstrapped median on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class BootstMedian : public AnalysisWindow {
    Q_OBJECT

public:
    explicit BootstMedian(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
