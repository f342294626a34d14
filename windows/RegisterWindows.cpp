#include "windows/RegisterWindows.h"

#include "frame/AnalysisWindow.h"
#include "windows/BootstCorrWindow.h"
#include "windows/BootstMeanWindow.h"
#include "windows/BootstMedianWindow.h"
#include "windows/Corr1Window.h"
#include "windows/IndepTWindow.h"
#include "windows/MediationBootWindow.h"
#include "windows/OnewayBootWindow.h"
#include "windows/OnewayRandomWindow.h"
#include "windows/PairedCorrWindow.h"
#include "windows/PairedTWindow.h"
#include "windows/Repeated1wayWindow.h"
#include "windows/TwoMedianBootTestWindow.h"
#include "windows/TwoMedianRandomTestWindow.h"

namespace brevant::frame {

namespace {

template <typename Window>
void Register(const char* name) {
    RegisterAnalysisWindowFactory(QString::fromLatin1(name), [](const WindowRow& row) { return new Window(row); });
}

}  // namespace

void RegisterWindowClasses() {
    Register<IndepT>("IndepT");
    Register<PairedT>("PairedT");
    Register<TwoMedianRandomTest>("TwoMedianRandomTest");
    Register<Corr1>("Corr1");
    Register<OnewayRandom>("OnewayRandom");
    Register<Repeated1way>("Repeated1way");
    Register<PairedCorr>("PairedCorr");
    Register<BootstMean>("BootstMean");
    Register<BootstMedian>("BootstMedian");
    Register<BootstCorr>("BootstCorr");
    Register<TwoMedianBootTest>("TwoMedianBootTest");
    Register<MediationBoot>("MediationBoot");
    Register<OnewayBoot>("OnewayBoot");
}

}  // namespace brevant::frame
