#include "windows/BootstMeanWindow.h"

namespace brevant::frame {

BootstMean::BootstMean(const WindowRow& row, QWidget* parent) : AnalysisWindow(row, parent) { UseCatalogueProcedure(); }

}  // namespace brevant::frame
