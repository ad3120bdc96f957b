// Placeholder until the core instruction families are registered here.
#include "vm/core_instructions.h"

#include "vm/machine.h"

namespace vm {
void registerCoreInstructions(Machine&) {}
}  // namespace vm
