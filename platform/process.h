// Starting another program and waiting for it (tests start the zorvane command this way).
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProcessResult {
    int exitCode = -1; // -1 when it could not start or was killed
    std::string out;   // what it wrote to stdout
    std::string err;   // what it wrote to stderr
};

// Runs `arguments[0]` with the arguments, in `workingFolder` when given, with extra "NAME=value"
// environment entries; kills it after `timeoutSeconds`.
ProcessResult runProcess(const std::vector<std::string> &arguments, const std::string &workingFolder = {},
                         const std::vector<std::string> &environment = {}, int timeoutSeconds = 60);

} // namespace platform
