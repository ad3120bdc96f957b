// The registration functions of the core instruction families, called by registerCoreInstructions.
#pragma once

namespace vm {
struct Machine;

void registerFlowCommands(Machine& m);     // structure jumps, for step, label calls and returns
void registerCallCommands(Machine& m);     // user-function calls and returns
void registerArithCommands(Machine& m);    // arithmetic, logic, assignment, conversion, increments
void registerCompareCommands(Machine& m);  // comparisons
void registerStringCommands(Machine& m);   // string join and removal
void registerArrayCommands(Machine& m);    // array create, release, store, read
void registerDataCommands(Machine& m);     // DATA restore and read
void registerMathBuiltins(Machine& m);     // maths in degrees, random numbers, colour packing
void registerStringBuiltins(Machine& m);   // string functions and number formatting
void registerTimeBuiltins(Machine& m);     // timer, date, time, command line, paths, waits
void registerConsoleCommands(Machine& m);  // print, input, program end
}  // namespace vm
