// The analysis windows that have a class of their own. Add one line per window, for example
//     RegisterAnalysisWindowFactory("IndepT", [](const WindowRow& row) { return new IndepT(row); });
// A window not listed opens as the plain frame. Registering here, rather than from each window's source,
// keeps every window linked into the program (static libraries drop object files nothing refers to).
#include "analysis/bootstrap/BootstMeanWindow.h"
#include "analysis/frame/AnalysisWindow.h"
#include "analysis/randomization/Corr1Window.h"
#include "analysis/randomization/IndepTWindow.h"
#include "analysis/randomization/PairedCorrWindow.h"

namespace brevant::frame {

void RegisterWindowClasses() {
    RegisterAnalysisWindowFactory(QStringLiteral("IndepT"), [](const WindowRow& row) { return new IndepT(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("BootstMean"),
                                  [](const WindowRow& row) { return new BootstMean(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("Corr1"), [](const WindowRow& row) { return new Corr1(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("PairedCorr"),
                                  [](const WindowRow& row) { return new PairedCorr(row); });
}

}  // namespace brevant::frame
