#include "analysis/catalogue/DataLayout.h"

#include "analysis/catalogue/ProcedureCatalogue.h"

#include <array>
#include <utility>

namespace brevant {

namespace {

constexpr std::string_view kTwoGroups = "nA, nB, then A's values, then B's";
constexpr std::string_view kGroups = "k (groups), the k group sizes, then each group's values in turn";
constexpr std::string_view kTwoNumberedGroups = "n1, n2, then group 1's values, then group 2's";
constexpr std::string_view kOneSample = "n, then the n values";
constexpr std::string_view kPairsXY = "N (cases), then each case's X and Y";

constexpr std::array<std::pair<std::string_view, std::string_view>, 13> kLayouts = {{
    {"IndepT", kTwoGroups},
    {"PairedT", "n (pairs), then each pair's first and second value"},
    {"TwoMedianRandomTest", kTwoNumberedGroups},
    {"Corr1", kPairsXY},
    {"OnewayRandom", kGroups},
    {"Repeated1way", "k (treatments), n (subjects), then each subject's k scores"},
    {"PairedCorr", "N (cases), then each case's X1, Y1, X2 and Y2"},
    {"BootstMean", kOneSample},
    {"BootstMedian", kOneSample},
    {"BootstCorr", kPairsXY},
    {"TwoMedianBootTest", kTwoNumberedGroups},
    {"MediationBoot", "N (cases), then each case's X, Y (the middle variable) and Z"},
    {"OnewayBoot", kGroups},
}};

}  // namespace

std::string_view DataLayout(std::string_view procedureName) {
    const CatalogueEntry* entry = FindProcedure(procedureName);
    if (entry == nullptr) return {};
    for (const auto& [name, layout] : kLayouts)
        if (name == entry->name) return layout;
    return {};
}

}  // namespace brevant
