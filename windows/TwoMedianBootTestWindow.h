// The TwoMedianBootTest window ("Bootstrapping difference of two medians"): the two-medians bootstrap
// interval on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class TwoMedianBootTest : public AnalysisWindow {
    Q_OBJECT

public:
    explicit TwoMedianBootTest(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
