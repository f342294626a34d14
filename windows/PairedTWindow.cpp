#include "windows/PairedTWindow.h"

namespace brevant::frame {

PairedT::PairedT(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
