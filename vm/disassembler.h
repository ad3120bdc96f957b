// Prints loaded code as text, one instruction per line, for tests and diagnostics.
#pragma once

#include <functional>
#include <string>

#include "vm/machine.h"

namespace vm {

// Operand words of a command code, -1 when unknown (the vocabulary knows them).
using OperandCounter = std::function<int(int code)>;

// One operand word as text: "iv3" (integer variable 3), "rc0=1.5" (real constant), "st2" (string
// temporary), "@12" (code position), "data:4", "label:7", or the plain number.
std::string describeOperand(const Machine& m, int codeIndex);

// The code from word `first` for `count` words (all when count < 0). Each line:
//   "<index> [<line>] <code> <meaning>: <operand>, <operand>"
// Without an operand counter an instruction runs until the next word in 0..9995 (a likely command).
std::string disassemble(const Machine& m, int first = 0, int count = -1, const OperandCounter& operands = {});

}  // namespace vm
