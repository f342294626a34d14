#include "windows/TwoMedianBootTestWindow.h"

namespace brevant::frame {

TwoMedianBootTest::TwoMedianBootTest(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
