// pkgtool's commands. Each returns the process's exit status and writes to the given streams.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace pkgtool {

int runPkgtool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace pkgtool
