// The OnewayRandom window ("Randomization Anova OneWay"): the one-way analysis of variance by
// randomization on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class OnewayRandom : public AnalysisWindow {
    Q_OBJECT

public:
    explicit OnewayRandom(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
