#include "cli/Procedures.h"

#include "analysis/bootstrap/BootstCorr.h"
#include "analysis/bootstrap/BootstMean.h"
#include "analysis/bootstrap/TwoMedianBootTest.h"
#include "analysis/bootstrap/MediationBoot.h"
#include "analysis/bootstrap/BootstMedian.h"
#include "analysis/randomization/IndepT.h"
#include "analysis/randomization/TwoMedianRandomTest.h"
#include "analysis/randomization/PairedT.h"
#include "analysis/randomization/Repeated1way.h"
#include "analysis/bootstrap/OnewayBoot.h"
#include "analysis/randomization/IndepT.h"
#include "analysis/randomization/OnewayRandom.h"
#include "analysis/randomization/Corr1.h"
#include "analysis/randomization/IndepT.h"
#include "analysis/randomization/PairedCorr.h"

#include <algorithm>
#include <cctype>

namespace brevant::cli {

Procedure Entry(std::string_view name, std::string_view caption, unsigned features, PlainProcedure procedure,
                SettingsCheck checkSettings) {
    return {name, caption, features,
            [procedure](DataFile& file, const RunSettings& settings, const Choices&, Generator& generator,
                        RunControl& control) { return procedure(file, settings, generator, control); },
            checkSettings};
}

const Procedure* ProcedureTable::Find(std::string_view name) const {
    const auto same = [name](const Procedure& p) {
        return std::equal(p.name.begin(), p.name.end(), name.begin(), name.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
        });
    };
    const auto found = std::find_if(procedures_.begin(), procedures_.end(), same);
    return found == procedures_.end() ? nullptr : &*found;
}

std::string ProcedureTable::NameList() const {
    if (procedures_.empty()) return "none yet";
    std::string list;
    for (const Procedure& p : procedures_) {
        if (!list.empty()) list += ", ";
        list += p.name;
    }
    return list;
}

const ProcedureTable& BuiltinProcedures() {
    static const ProcedureTable table({
        Entry("IndepT", "Independent Groups t", kNoFeature, &IndepTProcedure),
        Entry("PairedT", "PairedT", kNoFeature, &PairedTProcedure),
        Entry("TwoMedianRandomTest", "Randomization of difference of two medians", kConfidence,
              &TwoMedianRandomTestProcedure, &CheckNearestPercentileSettings),
        Entry("Corr1", "Correlation via randomization", kNoOutputFile, &Corr1Procedure),
        Entry("OnewayRandom", "Randomization Anova OneWay", kNoFeature, &OnewayRandomProcedure),
        Entry("Repeated1way", "Repeated One-way Anova", kNoFeature, &Repeated1wayProcedure),
        Entry("PairedCorr", "Paired Correlations", kConfidence | kNoOutputFile, &PairedCorrProcedure,
              &CheckIntegerPartPercentileSettings),
        Entry("BootstMean", "Bootstrapping Means", kConfidence, &BootstMeanProcedure,
              &CheckNearestPercentileSettings),
        Entry("BootstMedian", "Bootstrapping Medians", kConfidence, &BootstMedianProcedure,
              &CheckNearestPercentileSettings),
        Entry("BootstCorr", "Bootstrapping Correlations", kConfidence, &BootstCorrProcedure,
              &CheckIntegerPartPercentileSettings),
        Entry("TwoMedianBootTest", "Bootstrapping difference of two medians", kConfidence,
              &TwoMedianBootTestProcedure, &CheckNearestPercentileSettings),
        Entry("MediationBoot", "Mediation", kConfidence, &MediationBootProcedure, &CheckIntegerPartPercentileSettings),
        Procedure{"OnewayBoot", "Bootstrapping Anova OneWay", kBootstrapErrors,
                  [](DataFile& file, const RunSettings& settings, const Choices& choices, Generator& generator,
                     RunControl& control) {
                      return OnewayBootProcedure(file, settings, choices.bootstrapErrors, generator, control);
                  }},
    });
    return table;
}

}  // namespace brevant::cli
