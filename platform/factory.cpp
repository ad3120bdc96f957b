// Chooses the back-end for a run from a bootstrap table and wraps it in the session.
#include <cstdlib>
#include <iterator>

#include "platform/files.h"
#include "platform/headless/headless_backend.h"
#include "platform/sdl/sdl_backend.h"
#include "platform/session.h"

namespace platform {
namespace {

std::unique_ptr<Backend> createHeadless(const PlatformOptions &options, std::string &error) {
    std::vector<headless::ScriptEvent> script;
    std::vector<headless::ControllerStep> controllerSteps;
    if (!options.inputScript.empty()) {
        std::string text;
        if (!readFile(options.inputScript, text)) {
            error = "cannot read the input script " + options.inputScript;
            return nullptr;
        }
        if (!headless::parseInputScript(text, options.inputScript, script, error, &controllerSteps))
            return nullptr;
    }
    if (!options.dumpFramesDir.empty() && !makeFolders(options.dumpFramesDir)) {
        error = "cannot create the frame folder " + options.dumpFramesDir;
        return nullptr;
    }
    return std::make_unique<headless::HeadlessBackend>(options.realtime, std::move(script), options.dumpFramesDir,
                                                       std::move(controllerSteps));
}

struct BackendEntry {
    const char *name;
    bool (*available)(const PlatformOptions &);
    std::unique_ptr<Backend> (*create)(const PlatformOptions &, std::string &);
};

// A window when one was not ruled out and a display exists (or a video driver was named, as tests
// do with SDL's offscreen driver); headless otherwise.
constexpr BackendEntry kBackends[] = {
    {"sdl",
     [](const PlatformOptions &o) {
         const char *driver = std::getenv("SDL_VIDEODRIVER");
         // Scripted input and saved frames belong to headless runs, so either one implies it.
         if (o.headless || !o.inputScript.empty() || !o.dumpFramesDir.empty())
             return false;
         return displayAvailable() || (driver && *driver);
     },
     sdl::createSdlBackend},
    {"headless", [](const PlatformOptions &) { return true; }, createHeadless},
};

} // namespace

bool displayAvailable() {
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

std::unique_ptr<Platform> createPlatform(const PlatformOptions &options, std::string &error) {
    std::unique_ptr<Backend> backend;
    for (const auto &entry : kBackends) {
        if (!entry.available(options))
            continue;
        backend = entry.create(options, error);
        if (backend || &entry == &kBackends[std::size(kBackends) - 1])
            break;
        messageToStderr("zorvane", error + "; running headless");
        error.clear();
    }
    if (!backend)
        return nullptr;
    std::unique_ptr<Recorder> recorder;
    std::unique_ptr<Replay> replay;
    if (!options.replayFile.empty()) {
        replay = std::make_unique<Replay>();
        if (!replay->load(options.replayFile, error))
            return nullptr;
    }
    if (!options.recordFile.empty()) {
        recorder = std::make_unique<Recorder>();
        if (!recorder->open(options.recordFile, error))
            return nullptr;
    }
    error.clear();
    return std::make_unique<Session>(std::move(backend), std::move(recorder), std::move(replay));
}

} // namespace platform
