// The language's own instructions: flow, arithmetic, strings, arrays, DATA, built-in functions, console.
#pragma once

namespace vm {
struct Machine;
// Registers every core family's command table into the machine's dispatch table.
void registerCoreInstructions(Machine& m);
}  // namespace vm
