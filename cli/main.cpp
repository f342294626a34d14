#include "cli/BatchTool.h"
#include "cli/Progress.h"

#include <iostream>

int main(int argc, char** argv) {
    using namespace brevant::cli;
    return RunCli(argc, argv, std::cout, std::cerr, BuiltinProcedures(), StandardErrorIsTerminal());
}
