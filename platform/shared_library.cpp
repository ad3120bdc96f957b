#include "platform/shared_library.h"

#include <dlfcn.h>

namespace platform {

void *openLibrary(const char *fileName, std::string &error) {
    void *library = ::dlopen(fileName, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *why = ::dlerror();
        error = why ? why : std::string("cannot load ") + fileName;
    }
    return library;
}

void *librarySymbol(void *library, const char *name) {
    return library ? ::dlsym(library, name) : nullptr;
}

} // namespace platform
