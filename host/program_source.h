// Where the program of a run comes from: an image in memory (the run and exec modes) or the
// Payload appended to the executable (a standalone game).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_paths.h"

namespace vm {
struct Machine;
}
namespace builder {
class PayloadReader;
}

namespace host {

enum class LoadOutcome { Loaded, NoProgram, NotLoadable };

class ProgramSource {
  public:
    virtual ~ProgramSource() = default;
    // Start-up step 8 (reading the Payload). False: nothing runs and nothing is reported.
    virtual bool open(const HostPaths &paths, std::string &why) = 0;
    // Start-up steps 10 and 11: extract the program and load it into the machine.
    virtual LoadOutcome load(vm::Machine &m, const HostPaths &paths, std::string &why) = 0;
    // Shutdown step 1: deletes extracted files and frees what open() read. Harmless when repeated.
    virtual void release() = 0;
    // Whether this is a standalone game run (recoverable errors ignored, no F11/F12 break).
    virtual bool standalone() const = 0;
    // The Payload of a standalone game, for the media look-up of file-opening commands.
    virtual builder::PayloadReader *payload() { return nullptr; }
};

// A compiled program held in memory.
std::unique_ptr<ProgramSource> imageSource(std::vector<uint8_t> image);

// The Payload appended to `executablePath`: the program is extracted to "_virtual.dat" in the
// temporary folder and loaded from there.
std::unique_ptr<ProgramSource> payloadSource(std::string executablePath);

} // namespace host
