// The help texts of the zorvane command.
#pragma once

#include <cstdio>
#include <string>

namespace app {

extern const char *const kVersion;

// Prints the help of a mode ("" = the overview) and returns exit code 0.
int printUsage(const std::string &mode, std::FILE *out = stdout);

} // namespace app
