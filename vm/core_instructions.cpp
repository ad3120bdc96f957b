// Installs every core family's command table.
#include "vm/core_instructions.h"

#include "vm/core_families.h"

namespace vm {

void registerCoreInstructions(Machine& m) {
    registerFlowCommands(m);
    registerCallCommands(m);
    registerArithCommands(m);
    registerCompareCommands(m);
    registerStringCommands(m);
    registerArrayCommands(m);
    registerDataCommands(m);
    registerMathBuiltins(m);
    registerStringBuiltins(m);
    registerTimeBuiltins(m);
    registerConsoleCommands(m);
}

}  // namespace vm
