// Array elements as other instructions reach them: the ArrayTable entry of a variable cell, and the
// destination rule of the commands that store into a variable: a variable of the right kind takes
// the value, a temporary filled by an array element read passes it on into that element (through
// its ReferenceTable entry), and any other cell receives 0 or the empty string.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vm/machine.h"

namespace vm {

// The ArrayTable entry of a variable cell; nullptr for a cell that is no variable.
inline ArrayEntry* arrayOf(Machine& m, const Cell* variable) {
    const unsigned entry = static_cast<unsigned>(cellIndex(m, variable) - kIntVarBase);
    return entry < static_cast<unsigned>(kVariableCellCount) ? &m.arrays[entry] : nullptr;
}

// The element a temporary was last read from, checked against the array's current kind and size;
// nullptr when the cell is no temporary, nothing was read into it, or the element is gone.
int32_t* referencedInt(Machine& m, const Cell* temp);
float* referencedReal(Machine& m, const Cell* temp);
char** referencedString(Machine& m, const Cell* temp);

// Stores by the destination rule above (strings capped at 255 characters).
void storeIntResult(Machine& m, Cell* d, int32_t value);
void storeRealResult(Machine& m, Cell* d, float value);
void storeStringResult(Machine& m, Cell* d, const char* data, size_t length);

}  // namespace vm
