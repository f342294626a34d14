#include "windows/Repeated1wayWindow.h"

namespace brevant::frame {

Repeated1way::Repeated1way(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
