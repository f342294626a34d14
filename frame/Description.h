// Description texts, each line followed by CR LF: read by bare name from the working directory, else from the
// installed share/brevant, else (a program run from the build tree) from the source tree's help/
// (engine/DataFolders.h); when none can be read, the copy built into the program is used, so a description
// always shows.
#pragma once

#include <QString>

namespace brevant::frame {

QString ReadDescription(const QString& bareFileName);

}  // namespace brevant::frame
