#include "windows/PairedCorrWindow.h"

namespace brevant::frame {

PairedCorr::PairedCorr(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
