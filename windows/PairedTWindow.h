// The PairedT window ("PairedT"): the two-paired-samples randomization test on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class PairedT : public AnalysisWindow {
    Q_OBJECT

public:
    explicit PairedT(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
