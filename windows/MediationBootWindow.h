// The MediationBoot window ("Mediation"): mediation by bootstrap on the frame.
#pragma once

#include "frame/AnalysisWindow.h"

namespace brevant::frame {

class MediationBoot : public AnalysisWindow {
    Q_OBJECT

public:
    explicit MediationBoot(const WindowRow& row, QWidget* parent = nullptr);
};

}  // namespace brevant::frame
