// What each procedure's data file holds, in one short line, for a window to tell before a file is chosen:
// the counts first, then the values in the order the procedure reads them. The procedures' headers give the
// full rules and limits; the description files show an example. Qt-free.
#pragma once

#include <string_view>

namespace brevant {

// "nA, nB, then A's values, then B's" for IndepT; empty for a name that is not a procedure's (any case).
std::string_view DataLayout(std::string_view procedureName);

}  // namespace brevant
