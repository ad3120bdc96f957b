// Libraries opened while the program runs, for parts only some programs need: a library linked
// into the executable is loaded, with everything it depends on, at every start.
#pragma once

#include <string>

namespace platform {

// Opens the library of that file name (searched like a linked library) and keeps it loaded for the
// rest of the process; nullptr, with the loader's reason in `error`, when it cannot be loaded.
void *openLibrary(const char *fileName, std::string &error);

// The address of an exported function or variable of an opened library; nullptr when it has none.
void *librarySymbol(void *library, const char *name);

// The same, with the loader's reason in `error` when the library has no such symbol.
void *librarySymbol(void *library, const char *name, std::string &error);

} // namespace platform
