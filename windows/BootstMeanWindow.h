// The BootstMean window ("Bootstrapping Means"): the bootstrapped mean on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class BootstMean : public AnalysisWindow {
    Q_OBJECT

public:
    explicit BootstMean(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
