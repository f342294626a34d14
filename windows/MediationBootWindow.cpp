#include "windows/MediationBootWindow.h"

namespace brevant::frame {

MediationBoot::MediationBoot(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
