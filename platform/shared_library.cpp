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

void *librarySymbol(void *library, const char *name, std::string &error) {
    if (!library) {
        error = std::string("no library to look up ") + name + " in";
        return nullptr;
    }
    ::dlerror(); // a symbol may legitimately be null: only a fresh error means it is missing
    void *address = ::dlsym(library, name);
    if (!address) {
        const char *why = ::dlerror();
        error = why ? why : std::string("no symbol ") + name;
    }
    return address;
}

} // namespace platform
