#include "platform/sdl/gl_info_cache.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <vector>

#include "platform/files.h"

extern char **environ;

namespace platform {
namespace {

constexpr const char *kHeader = "zorvane gl-device 1";

// Variables the GL loaders (glvnd, Mesa, the vendors' drivers), the dynamic linker and SDL read
// when a context is made: any of them can pick another renderer.
constexpr const char *kVariablePrefixes[] = {"LIBGL_", "MESA_", "GALLIUM_", "__GL", "__EGL", "EGL_",  "SDL_",
                                             "LP_",    "GBM_",  "DRI_",     "NV_",  "LD_",   "DRIRC"};
constexpr const char *kVariables[] = {"DISPLAY", "WAYLAND_DISPLAY"};

// What a new renderer would change. Library upgrades (Mesa, the vendors' drivers, glvnd) run
// ldconfig, which writes a new /etc/ld.so.cache; the drivers' folder of this build's architecture
// catches a driver renamed into place without it, and the devices and the driver configuration the
// rest. Each costs one stat at every start, so the list is short.
#if defined(__aarch64__)
#define ZV_MULTIARCH "aarch64-linux-gnu"
#else
#define ZV_MULTIARCH "x86_64-linux-gnu"
#endif
constexpr const char *kPaths[] = {"/etc/ld.so.cache", "/usr/lib/" ZV_MULTIARCH "/dri", "/usr/lib64/dri",
                                  "/usr/share/glvnd/egl_vendor.d", "/etc/drirc", "/dev/dri"};
#undef ZV_MULTIARCH

void addNumber(std::string &out, long long value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(digits, end);
}

// Adds the path and what stat says of it (with plain number conversion: this runs at every start,
// and the formatted printing functions cost a first use of their own).
void addPath(std::string &out, const std::string &path) {
    struct stat st {};
    out += path;
    if (::stat(path.c_str(), &st) != 0) {
        out += "=absent;";
        return;
    }
    char separator = '=';
    for (long long value : {static_cast<long long>(st.st_dev), static_cast<long long>(st.st_ino),
                            static_cast<long long>(st.st_size), static_cast<long long>(st.st_mtim.tv_sec),
                            static_cast<long long>(st.st_mtim.tv_nsec)}) {
        out += separator;
        addNumber(out, value);
        separator = ',';
    }
    out += ';';
}

// Texts are kept one per line: a line break inside one would start a new field.
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

bool parseNumber(const std::string &text, uint64_t &value) {
    if (text.empty() || text.size() > 20 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    // from_chars: plain digits, without the C library's first-use cost of strtoull.
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool parseFlag(const std::string &text, bool &value) {
    if (text != "0" && text != "1")
        return false;
    value = text == "1";
    return true;
}

} // namespace

std::string glFingerprint() {
    std::vector<std::string> variables;
    for (char **e = environ; e && *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool wanted = std::find(std::begin(kVariables), std::end(kVariables), name) != std::end(kVariables);
        for (const char *prefix : kVariablePrefixes)
            wanted = wanted || name.rfind(prefix, 0) == 0;
        if (wanted)
            variables.push_back(entry);
    }
    std::sort(variables.begin(), variables.end());
    std::string out;
    for (const auto &v : variables)
        out += v + '\0';
    for (const char *path : kPaths)
        addPath(out, path);
    if (const char *home = std::getenv("HOME"))
        addPath(out, std::string(home) + "/.drirc");
    return out;
}

std::string glInfoCachePath() { return cacheFolder() + "/gl-device"; }

std::string glInfoCacheFile(const std::string &fingerprint) { return glInfoCachePath() + "-" + hashName(fingerprint); }

std::optional<GlDeviceInfo> readGlInfo(const std::string &path, const std::string &fingerprint) {
    std::string contents;
    if (!readFile(path, contents) || contents.size() > 64 * 1024)
        return std::nullopt;
    // Split by hand: a string stream would set up the C++ locale, which nothing else at start needs.
    std::vector<std::string> lines;
    for (size_t start = 0; start < contents.size();) {
        size_t end = contents.find('\n', start);
        if (end == std::string::npos)
            end = contents.size();
        lines.push_back(contents.substr(start, end - start));
        start = end + 1;
    }
    if (lines.empty() || lines.front() != kHeader)
        return std::nullopt;
    std::map<std::string, std::string> fields;
    for (size_t k = 1; k < lines.size(); ++k) {
        const std::string &line = lines[k];
        const size_t space = line.find(' ');
        if (space == std::string::npos)
            fields[line] = "";
        else
            fields[line.substr(0, space)] = line.substr(space + 1);
    }
    auto field = [&](const char *name) -> const std::string * {
        auto it = fields.find(name);
        return it == fields.end() ? nullptr : &it->second;
    };
    const std::string *stored = field("fingerprint");
    if (!stored || *stored != hashName(fingerprint))
        return std::nullopt;
    GlDeviceInfo info;
    const std::string *renderer = field("renderer"), *vendor = field("vendor"), *version = field("version");
    if (!renderer || !vendor || !version)
        return std::nullopt;
    info.renderer = *renderer;
    info.vendor = *vendor;
    info.version = *version;
    const std::string *software = field("software"), *texture = field("texture-memory"),
                      *offscreen = field("offscreen-memory"), *anisotropic = field("anisotropic"),
                      *compressed = field("compressed"), *mirrored = field("mirrored");
    if (!software || !texture || !offscreen || !anisotropic || !compressed || !mirrored)
        return std::nullopt;
    if (!parseFlag(*software, info.software) || !parseNumber(*texture, info.textureMemory) ||
        !parseNumber(*offscreen, info.offscreenMemory) || !parseFlag(*anisotropic, info.anisotropicFiltering) ||
        !parseFlag(*compressed, info.compressedTextures) || !parseFlag(*mirrored, info.mirroredRepeat))
        return std::nullopt;
    return info;
}

bool writeGlInfo(const std::string &path, const std::string &fingerprint, const GlDeviceInfo &info) {
    std::ostringstream out;
    out << kHeader << '\n'
        << "fingerprint " << hashName(fingerprint) << '\n'
        << "renderer " << oneLine(info.renderer) << '\n'
        << "vendor " << oneLine(info.vendor) << '\n'
        << "version " << oneLine(info.version) << '\n'
        << "software " << (info.software ? 1 : 0) << '\n'
        << "texture-memory " << info.textureMemory << '\n'
        << "offscreen-memory " << info.offscreenMemory << '\n'
        << "anisotropic " << (info.anisotropicFiltering ? 1 : 0) << '\n'
        << "compressed " << (info.compressedTextures ? 1 : 0) << '\n'
        << "mirrored " << (info.mirroredRepeat ? 1 : 0) << '\n';
    if (!makeFolders(folderOf(path)))
        return false;
    return writeFileAtomically(path, out.str());
}

} // namespace platform
