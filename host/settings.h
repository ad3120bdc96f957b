// SETUP.INI: read once at start-up. Every flag is on only when its value is exactly "1".
#pragma once

#include <string>
#include <vector>

#include "host/host_paths.h"

namespace host {

constexpr const char *kSettingsFile = "SETUP.INI";
constexpr const char *kSettingsSection = "SETTINGS";
constexpr const char *kLogFile = "QX.LOG";

struct Settings {
    bool blitFlipMode = false;  // present by copying instead of flipping
    bool blitOverdraw = false;  // blit overdraw factor 2 instead of 1
    bool windowMode = false;    // a window covering the screen instead of exclusive full screen
    bool fullScreen = true;     // the opposite of windowMode
    std::string externalEditor; // full path when the named file exists, else empty
    bool debugMode = false;     // trace and error log in QX.LOG
    bool traceMode = false;     // the card search reports its progress
    bool runtimeTest = false;   // error dumps on the clipboard and in the error box
    std::string textLanguage = "English";
    std::string textLanguageCharset;
    std::string helpLanguage = "English";
    std::string helpLanguageCharset;
    int blitOverdrawFactor() const { return blitOverdraw ? 2 : 1; }
};

// Reads SETUP.INI of the executable folder (TRACEMODE and RUNTIMETEST from the start directory's),
// in the order BLITFLIPMODE, BLITOVERDRAW, WINDOWMODE, EXTERNALEDITOR, DEBUGMODE, TRACEMODE,
// RUNTIMETEST. Turning on a diagnostic mode deletes QX.LOG in the start directory. A file that
// cannot be read gives the defaults and a line in `warnings`.
Settings readSettings(const HostPaths &paths, std::vector<std::string> &warnings);

} // namespace host
