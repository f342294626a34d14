#include "cli/BatchTool.h"
#include "cli/Progress.h"
#include "engine/OutputFile.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace brevant::cli;
    brevant::RemoveTemporaryFileOnInterrupt();  // Ctrl+C while the output file is written leaves nothing behind
    return RunCli(argc, argv, std::cout, std::cerr, BuiltinProcedures(), StandardErrorIsTerminal());
}
