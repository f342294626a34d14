// The TwoMedianRandomTest window ("Randomization of difference of two medians"): the two-medians
// randomization test on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class TwoMedianRandomTest : public AnalysisWindow {
    Q_OBJECT

public:
    explicit TwoMedianRandomTest(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
