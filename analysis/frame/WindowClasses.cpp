// The analysis windows that have a class of their own. Add one line per window, for example
//     RegisterAnalysisWindowFactory("IndepT", [](const WindowRow& row) { return new IndepT(row); });
// A window not listed opens as the plain frame. Registering here, rather than from each window's source,
// keeps every window linked into the program (static libraries drop object files nothing refers to).
#include "analysis/bootstrap/BootstCorrWindow.h"
#include "analysis/bootstrap/BootstMeanWindow.h"
#include "analysis/bootstrap/TwoMedianBootTestWindow.h"
#include "analysis/bootstrap/MediationBootWindow.h"
#include "analysis/bootstrap/BootstMedianWindow.h"
#include "analysis/frame/AnalysisWindow.h"
#include "analysis/randomization/Corr1Window.h"
#include "analysis/randomization/IndepTWindow.h"
#include "analysis/randomization/TwoMedianRandomTestWindow.h"
#include "analysis/randomization/PairedTWindow.h"
#include "analysis/randomization/Repeated1wayWindow.h"
#include "analysis/bootstrap/OnewayBootWindow.h"
#include "analysis/frame/AnalysisWindow.h"
#include "analysis/randomization/IndepTWindow.h"
#include "analysis/randomization/OnewayRandomWindow.h"
#include "analysis/randomization/PairedCorrWindow.h"

namespace brevant::frame {

void RegisterWindowClasses() {
    RegisterAnalysisWindowFactory(QStringLiteral("IndepT"), [](const WindowRow& row) { return new IndepT(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("PairedT"), [](const WindowRow& row) { return new PairedT(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("TwoMedianRandomTest"),
                                  [](const WindowRow& row) { return new TwoMedianRandomTest(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("Corr1"), [](const WindowRow& row) { return new Corr1(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("OnewayRandom"),
                                  [](const WindowRow& row) { return new OnewayRandom(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("Repeated1way"),
                                  [](const WindowRow& row) { return new Repeated1way(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("PairedCorr"),
                                  [](const WindowRow& row) { return new PairedCorr(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("BootstMean"),
                                  [](const WindowRow& row) { return new BootstMean(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("BootstMedian"),
                                  [](const WindowRow& row) { return new BootstMedian(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("BootstCorr"),
                                  [](const WindowRow& row) { return new BootstCorr(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("TwoMedianBootTest"),
                                  [](const WindowRow& row) { return new TwoMedianBootTest(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("MediationBoot"),
                                  [](const WindowRow& row) { return new MediationBoot(row); });
    RegisterAnalysisWindowFactory(QStringLiteral("OnewayBoot"),
                                  [](const WindowRow& row) { return new OnewayBoot(row); });
}

}  // namespace brevant::frame
