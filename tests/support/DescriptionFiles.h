// The description files the program ships, one per window, and the program's own.
#pragma once

#include <QStringList>

namespace brevant::testing {

inline const QStringList kDescriptionFiles = {
    "BrevantHelp.txt",       "IndepTHelp.txt",       "PairedTHelp.txt",      "TwoMedianRandomTestHelp.txt",
    "Corr1Help.txt",         "OnewayRandomHelp.txt", "Repeated1wayHelp.txt", "PairedCorrHelp.txt",
    "BootstMeanHelp.txt",    "BootstMedianHelp.txt", "BootstCorrHelp.txt",   "Bootst2MediansHelp.txt",
    "MediationBootHelp.txt", "OnewayBootHelp.txt",
};

}  // namespace brevant::testing
