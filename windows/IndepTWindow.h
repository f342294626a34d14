// The IndepT window ("Independent Groups t"): the two-independent-samples randomization test on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class IndepT : public AnalysisWindow {
    Q_OBJECT

public:
    explicit IndepT(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
