#include "platform/sdl/sdl_api.h"

#include <map>
#include <mutex>

#include "platform/shared_library.h"

namespace platform::sdl {
namespace {

template <typename Function>
bool find(void *library, const char *libraryName, const char *symbol, Function &function, std::string &error) {
    std::string why;
    function = reinterpret_cast<Function>(librarySymbol(library, symbol, why));
    if (!function)
        error = std::string("the SDL library ") + libraryName + " has no " + symbol + ": " + why;
    return function != nullptr;
}

struct LoadedTable {
    SdlApi api;
    bool loaded = false;
    std::string error;
};

// One table per library file, never freed: a table handed out stays valid whatever is named later,
// and the library is never closed (SDL keeps threads and handlers of its own).
struct TableRegistry {
    std::mutex lock;
    std::string current = kSdlLibrary;
    std::map<std::string, LoadedTable> tables;
};

TableRegistry &registry() {
    static TableRegistry *instance = new TableRegistry();
    return *instance;
}

} // namespace

bool loadSdlApi(const char *libraryName, SdlApi &api, std::string &error) {
    std::string why;
    void *library = openLibrary(libraryName, why);
    if (!library) {
        error = std::string("cannot load the SDL library ") + libraryName + ": " + why;
        return false;
    }
    SdlApi filled;
#define ZV_SDL_FIND(name)                                                                                              \
    if (!find(library, libraryName, "SDL_" #name, filled.name, error))                                                 \
        return false;
    ZV_SDL_FUNCTIONS(ZV_SDL_FIND)
#undef ZV_SDL_FIND
    api = filled;
    return true;
}

const SdlApi *sdlApi(std::string &error) {
    TableRegistry &r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto [entry, isNew] = r.tables.try_emplace(r.current);
    LoadedTable &table = entry->second;
    // A library that failed once is not tried again: it will not appear while the process runs.
    if (isNew)
        table.loaded = loadSdlApi(r.current.c_str(), table.api, table.error);
    if (!table.loaded) {
        error = table.error;
        return nullptr;
    }
    return &table.api;
}

const SdlApi *loadedSdlApi() {
    TableRegistry &r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    auto entry = r.tables.find(r.current);
    return entry != r.tables.end() && entry->second.loaded ? &entry->second.api : nullptr;
}

void useSdlLibrary(const std::string &libraryName) {
    TableRegistry &r = registry();
    std::lock_guard<std::mutex> guard(r.lock);
    r.current = libraryName;
}

} // namespace platform::sdl
