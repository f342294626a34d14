#include "windows/TwoMedianRandomTestWindow.h"

namespace brevant::frame {

TwoMedianRandomTest::TwoMedianRandomTest(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
