#include "analysis/catalogue/ProcedureCatalogue.h"

#include "analysis/bootstrap/BootstCorr.h"
#include "analysis/bootstrap/BootstMean.h"
#include "analysis/bootstrap/BootstMedian.h"
#include "analysis/bootstrap/MediationBoot.h"
#include "analysis/bootstrap/OnewayBoot.h"
#include "analysis/bootstrap/TwoMedianBootTest.h"
#include "analysis/randomization/Corr1.h"
#include "analysis/randomization/IndepT.h"
#include "analysis/randomization/OnewayRandom.h"
#include "analysis/randomization/PairedCorr.h"
#include "analysis/randomization/PairedT.h"
#include "analysis/randomization/Repeated1way.h"
#include "analysis/randomization/TwoMedianRandomTest.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <type_traits>
#include <utility>

namespace brevant {

namespace {

void ResamplesOnly(std::int32_t resamples, float) { CheckResamples(resamples); }

// Reads the data, shows what is known before the resamples, and leaves the resamples (run, then present) to
// the work, which owns the data.
template <typename Data, typename Observe, typename Resample>
PreparedRun Prepared(Data data, Observe observe, Resample resample) {
    std::vector<ResultBox> observed = observe(data);
    return {[data = std::move(data), resample](Generator& generator, RunControl& control) mutable {
                return resample(data, generator, control);
            },
            std::move(observed)};
}

// Presents a run's result, with the settings where the procedure's presentation reads them.
template <typename Present, typename Result>
RunResult Presented(Present present, Result&& result, const RunSettings& settings) {
    if constexpr (std::is_invocable_v<Present, Result&&, const RunSettings&>) {
        return present(std::forward<Result>(result), settings);
    } else {
        return present(std::forward<Result>(result));
    }
}

// The prepare function of a procedure whose run takes the data and settings alone.
#define BREVANT_PREPARE(Name)                                                                                 \
    PreparedRun Prepare##Name(DataFile& file, const RunSettings& settings, const Choices&) {                   \
        return Prepared(Read##Name##Data(file), &Observed##Name##Boxes,                                       \
                        [settings](auto& data, Generator& generator, RunControl& control) {                   \
                            return Presented(&Present##Name, Run##Name(std::move(data), settings, generator,   \
                                                                       control),                             \
                                             settings);                                                       \
                        });                                                                                   \
    }

BREVANT_PREPARE(IndepT)
BREVANT_PREPARE(PairedT)
BREVANT_PREPARE(TwoMedianRandomTest)
BREVANT_PREPARE(Corr1)
BREVANT_PREPARE(OnewayRandom)
BREVANT_PREPARE(Repeated1way)
BREVANT_PREPARE(PairedCorr)
BREVANT_PREPARE(BootstMean)
BREVANT_PREPARE(BootstMedian)
BREVANT_PREPARE(BootstCorr)
BREVANT_PREPARE(TwoMedianBootTest)
BREVANT_PREPARE(MediationBoot)
#undef BREVANT_PREPARE

PreparedRun PrepareOnewayBoot(DataFile& file, const RunSettings& settings, const Choices& choices) {
    return Prepared(ReadOnewayBootData(file), &ObservedOnewayBootBoxes,
                    [settings, errors = choices.bootstrapErrors](auto& data, Generator& generator,
                                                                  RunControl& control) {
                        return PresentOnewayBoot(RunOnewayBoot(data, settings, errors, generator, control), settings);
                    });
}

const std::array<CatalogueEntry, 13> kCatalogue = {{
    {"IndepT", "Independent Groups t", kNoFeature, kIndepTBoxes, &PrepareIndepT, &ResamplesOnly},
    {"PairedT", "PairedT", kNoFeature, kPairedTBoxes, &PreparePairedT, &ResamplesOnly},
    {"TwoMedianRandomTest", "Randomization of difference of two medians", kConfidence, kTwoMedianRandomTestBoxes,
     &PrepareTwoMedianRandomTest, &CheckNearestPercentileSettings},
    {"Corr1", "Correlation via randomization", kNoOutputFile, kCorr1Boxes, &PrepareCorr1, &ResamplesOnly},
    {"OnewayRandom", "Randomization Anova OneWay", kNoFeature, kOnewayRandomBoxes, &PrepareOnewayRandom,
     &ResamplesOnly},
    {"Repeated1way", "Repeated One-way Anova", kNoFeature, kRepeated1wayBoxes, &PrepareRepeated1way,
     &ResamplesOnly},
    {"PairedCorr", "Paired Correlations", kConfidence | kNoOutputFile, kPairedCorrBoxes, &PreparePairedCorr,
     &CheckIntegerPartPercentileSettings},
    {"BootstMean", "Bootstrapping Means", kConfidence, kBootstMeanBoxes, &PrepareBootstMean,
     &CheckNearestPercentileSettings},
    {"BootstMedian", "Bootstrapping Medians", kConfidence, kBootstMedianBoxes, &PrepareBootstMedian,
     &CheckNearestPercentileSettings},
    {"BootstCorr", "Bootstrapping Correlations", kConfidence, kBootstCorrBoxes, &PrepareBootstCorr,
     &CheckIntegerPartPercentileSettings},
    {"TwoMedianBootTest", "Bootstrapping difference of two medians", kConfidence, kTwoMedianBootTestBoxes,
     &PrepareTwoMedianBootTest, &CheckNearestPercentileSettings},
    {"MediationBoot", "Mediation", kConfidence, kMediationBootBoxes, &PrepareMediationBoot,
     &CheckIntegerPartPercentileSettings},
    {"OnewayBoot", "Bootstrapping Anova OneWay", kBootstrapErrors, kOnewayBootBoxes, &PrepareOnewayBoot,
     &ResamplesOnly},
}};

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

PreparedRun CatalogueEntry::Prepare(DataFile& file, const RunSettings& settings, const Choices& choices) const {
    checkSettings(settings.resamples, settings.confidence);
    return prepare(file, settings, choices);
}

RunResult CatalogueEntry::Run(DataFile& file, const RunSettings& settings, const Choices& choices,
                              Generator& generator, RunControl& control) const {
    return Prepare(file, settings, choices).work(generator, control);
}

std::span<const CatalogueEntry> ProcedureCatalogue() { return kCatalogue; }

const CatalogueEntry* FindProcedure(std::string_view name) {
    const auto found = std::find_if(kCatalogue.begin(), kCatalogue.end(),
                                    [name](const CatalogueEntry& e) { return SameName(e.name, name); });
    return found == kCatalogue.end() ? nullptr : &*found;
}

std::string ProcedureNames() {
    std::string list;
    for (const CatalogueEntry& e : kCatalogue) {
        if (!list.empty()) list += ", ";
        list += e.name;
    }
    return list;
}

}  // namespace brevant
