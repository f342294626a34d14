// The description files the program ships, one per window that has one (PairedCorr has none).
#pragma once

#include <QStringList>

namespace brevant::testing {

inline const QStringList kDescriptionFiles = {
    "BrevantHelp.txt",      "IndepTHelp.txt",         "PairedTHelp.txt",       "TwoMedianRandomTestHelp.txt",
    "Corr1Help.txt",        "OnewayRandomHelp.txt",   "Repeated1wayHelp.txt",  "BootstMeanHelp.txt",
    "BootstMedianHelp.txt", "BootstCorrHelp.txt",     "Bootst2MediansHelp.txt", "MediationBootHelp.txt",
    "OnewayBootHelp.txt",
};

}  // namespace brevant::testing
