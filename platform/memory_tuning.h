// How the process asks the system for memory.
#pragma once

namespace platform {

// Large blocks (a screen, the machine's tables, the number maps) always come straight from the
// system as fresh zero pages. Zeroed requests then cost nothing until the memory is used: the
// C library would otherwise start serving them from its own reused memory after the first large
// block is freed, and clear every byte. Called once at the start of the process.
void keepLargeBlocksOnFreshPages();

} // namespace platform
