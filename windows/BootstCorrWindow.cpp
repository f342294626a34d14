#include "windows/BootstCorrWindow.h"

namespace brevant::frame {

BootstCorr::BootstCorr(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
