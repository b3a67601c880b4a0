#pragma once

#include <string>
#include <vector>

namespace TavrinStartup {

// Where the window module is looked for, in order, for an executable whose
// real location is in `exeDir`: the private library directory of an install,
// then beside the executable (a build tree).
std::vector<std::string> windowModuleCandidates(const std::string &exeDir);

// Loads the window module and runs it. When it cannot be loaded, prints one
// line with the loader's reason and returns a failure code.
int runWindowModule(int argc, char *argv[]);

} // namespace TavrinStartup
