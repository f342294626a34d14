// The Repeated1way window ("Repeated One-way Anova"): the repeated-measures randomization F on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class Repeated1way : public AnalysisWindow {
    Q_OBJECT

public:
    explicit Repeated1way(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
