// The program's own command-line options, answered before any window exists (and without a display):
// --help and --version. Every other argument is left to Qt (-platform, -style, ...).
#pragma once

#include <QStringList>
#include <QTextStream>
#include <optional>

namespace brevant::app {

// arguments as main() received them, the program name first. Prints the help or the version to out and
// returns the exit code (0) when either was asked for; otherwise returns nothing and the program starts.
std::optional<int> AnswerCommandLine(const QStringList& arguments, QTextStream& out);

}  // namespace brevant::app
