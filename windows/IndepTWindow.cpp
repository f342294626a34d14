#include "windows/IndepTWindow.h"

namespace brevant::frame {

IndepT::IndepT(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
