#include "host/families.h"

namespace host {

const std::vector<CommandFamily> &commandFamilies() {
    // The core instructions are registered by vm::createMachine(); the library families
    // (display, input, 3D, sound, files, system) are listed here as they arrive.
    static const std::vector<CommandFamily> families = {};
    return families;
}

} // namespace host
