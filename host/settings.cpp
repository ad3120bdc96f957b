#include "host/settings.h"

#include <cstdio>
#include <filesystem>

#include "platform/profile.h"

namespace host {
namespace {

struct SettingsFile {
    platform::ProfileFile file;
    explicit SettingsFile(const std::string &folder, std::vector<std::string> &warnings)
        : file(folder + "/" + kSettingsFile) {
        if (file.load() == platform::ProfileFile::LoadStatus::Unreadable)
            warnings.push_back("cannot read " + file.path() + "; using the default settings");
    }
    std::string get(const char *key, const char *fallback) const { return file.get(kSettingsSection, key, fallback); }
    bool flag(const char *key) const { return get(key, "0") == "1"; }
};

} // namespace

Settings readSettings(const HostPaths &paths, std::vector<std::string> &warnings) {
    Settings s;
    SettingsFile installed(paths.executableFolder, warnings);
    // Read twice only when the start directory is another folder: one warning per file.
    std::error_code ec;
    bool sameFolder = std::filesystem::equivalent(paths.executableFolder, paths.startDirectory, ec);
    std::vector<std::string> ignored;
    SettingsFile started(paths.startDirectory, sameFolder ? ignored : warnings);

    auto startFresh = [&] { std::remove((paths.startDirectory + "/" + kLogFile).c_str()); };

    s.blitFlipMode = installed.flag("BLITFLIPMODE");
    s.blitOverdraw = installed.flag("BLITOVERDRAW");
    if (installed.flag("WINDOWMODE")) {
        s.windowMode = true;
        s.fullScreen = false;
    }
    std::string editor = installed.get("EXTERNALEDITOR", "");
    if (!editor.empty()) {
        std::string full = paths.executableFolder + "/" + editor;
        if (std::filesystem::is_regular_file(full, ec))
            s.externalEditor = full;
    }
    if (installed.flag("DEBUGMODE")) {
        startFresh();
        s.debugMode = true;
    }
    if (started.flag("TRACEMODE")) {
        startFresh();
        s.traceMode = true;
    }
    if (started.flag("RUNTIMETEST")) {
        startFresh();
        s.runtimeTest = true;
    }
    s.textLanguage = installed.get("TEXTLANGUAGE", "English");
    s.textLanguageCharset = installed.get("TEXTLANGUAGE-CHARSET", "");
    s.helpLanguage = installed.get("HELPLANGUAGE", "English");
    s.helpLanguageCharset = installed.get("HELPLANGUAGE-CHARSET", "");
    return s;
}

} // namespace host
