#include "windows/OnewayRandomWindow.h"

namespace brevant::frame {

OnewayRandom::OnewayRandom(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
