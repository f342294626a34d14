#include "windows/BootstMedianWindow.h"

namespace brevant::frame {

BootstMedian::BootstMedian(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
