// pkgtool: builds, lists, checks and extracts the installers' packages on the build machine.
#include "tools/pkgtool/Commands.h"

#include <iostream>

int main(int argc, char** argv) {
    return pkgtool::runPkgtool(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
