// Description texts: read by bare name from the working directory, each line followed by CR LF; when the
// file is missing or unreadable, the copy built into the program is used, so a description always shows.
#pragma once

#include <QString>

namespace brevant::frame {

QString ReadDescription(const QString& bareFileName);

}  // namespace brevant::frame
