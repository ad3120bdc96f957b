#include "display/font_catalog.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>

namespace display {
namespace {

std::string lowered(std::string text) {
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Fontconfig is initialised once for the process; its configuration is read-only afterwards.
FcConfig* config() {
    static std::once_flag once;
    static FcConfig* current = nullptr;
    std::call_once(once, [] {
        if (FcInit())
            current = FcConfigGetCurrent();
    });
    return current;
}

std::mutex& fontconfigLock() {
    static std::mutex lock;
    return lock;
}

bool hasFamily(FcPattern* pattern, const std::string& wanted) {
    const std::string target = lowered(wanted);
    FcChar8* value = nullptr;
    for (int i = 0; FcPatternGetString(pattern, FC_FAMILY, i, &value) == FcResultMatch; ++i)
        if (lowered(reinterpret_cast<const char*>(value)) == target)
            return true;
    return false;
}

// The best file fontconfig has for the family; `exact` refuses a match of another family.
FontFile match(const std::string& family, bool bold, bool italic, bool exact) {
    FontFile found;
    FcConfig* cfg = config();
    if (!cfg)
        return found;
    std::lock_guard<std::mutex> guard(fontconfigLock());
    FcPattern* pattern = FcPatternCreate();
    if (!family.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(cfg, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* best = FcFontMatch(cfg, pattern, &result);
    FcPatternDestroy(pattern);
    if (!best)
        return found;
    FcChar8* file = nullptr;
    FcChar8* name = nullptr;
    FcBool scalable = FcFalse;
    FcPatternGetBool(best, FC_SCALABLE, 0, &scalable);
    if (FcPatternGetString(best, FC_FILE, 0, &file) == FcResultMatch && scalable &&
        (!exact || hasFamily(best, family))) {
        found.path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(best, FC_INDEX, 0, &found.index);
        if (FcPatternGetString(best, FC_FAMILY, 0, &name) == FcResultMatch)
            found.family = reinterpret_cast<const char*>(name);
        int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(best, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(best, FC_SLANT, 0, &slant);
        found.bold = weight >= FC_WEIGHT_DEMIBOLD;
        found.italic = slant != FC_SLANT_ROMAN;
    }
    FcPatternDestroy(best);
    return found;
}

struct StandIn {
    const char* name;
    const char* family;
};

// Windows font names and the free families with the same metrics (or, lacking those, the look).
constexpr StandIn kStandIns[] = {
    {"arial", "Liberation Sans"},
    {"helvetica", "Liberation Sans"},
    {"arial narrow", "Liberation Sans Narrow"},
    {"times new roman", "Liberation Serif"},
    {"times", "Liberation Serif"},
    {"courier new", "Liberation Mono"},
    {"courier", "Liberation Mono"},
    {"lucida console", "DejaVu Sans Mono"},
    {"fixedsys", "DejaVu Sans Mono"},
    {"terminal", "DejaVu Sans Mono"},
    {"system", "DejaVu Sans"},
    {"ms sans serif", "DejaVu Sans"},
    {"microsoft sans serif", "DejaVu Sans"},
    {"tahoma", "DejaVu Sans"},
    {"verdana", "DejaVu Sans"},
    {"georgia", "DejaVu Serif"},
    {"ms serif", "DejaVu Serif"},
};

// The files of the default family in the folders the distributions install it in. The print
// font ("system", a stand-in for the default family) is made at every start-up; finding its file
// here spares the start-up fontconfig's initialisation, which reads and parses its whole
// configuration (tens of milliseconds). Other names, and machines without these files, ask
// fontconfig.
constexpr const char* kDefaultFamilyFolders[] = {"/usr/share/fonts/truetype/dejavu", "/usr/share/fonts/dejavu-sans-fonts",
                                                 "/usr/share/fonts/dejavu", "/usr/share/fonts/TTF"};

FontFile installedDefaultFace(bool bold, bool italic) {
    const char* file = bold ? (italic ? "DejaVuSans-BoldOblique.ttf" : "DejaVuSans-Bold.ttf")
                            : (italic ? "DejaVuSans-Oblique.ttf" : "DejaVuSans.ttf");
    for (const char* folder : kDefaultFamilyFolders) {
        std::string path = std::string(folder) + "/" + file;
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error))
            return FontFile{std::move(path), 0, kDefaultFontFamily, bold, italic};
    }
    return {};
}

} // namespace

std::string standInFamily(const std::string& name) {
    const std::string key = lowered(name);
    for (const StandIn& s : kStandIns)
        if (key == s.name)
            return s.family;
    return name;
}

FontFile findFamily(const std::string& family, bool bold, bool italic) {
    if (family.empty())
        return {};
    return match(family, bold, italic, true);
}

FontFile resolveFont(const std::string& name, bool bold, bool italic) {
    if (lowered(name) == "system" && standInFamily(name) == kDefaultFontFamily) {
        FontFile known = installedDefaultFace(bold, italic);
        if (!known.path.empty())
            return known;
    }
    FontFile found = findFamily(name, bold, italic);
    if (found.path.empty()) {
        const std::string standIn = standInFamily(name);
        if (lowered(standIn) != lowered(name))
            found = findFamily(standIn, bold, italic);
    }
    if (found.path.empty())
        found = findFamily(kDefaultFontFamily, bold, italic);
    if (found.path.empty())
        found = match(name, bold, italic, false);
    return found;
}

std::vector<std::string> installedFamilies() {
    std::vector<std::string> families;
    FcConfig* cfg = config();
    if (!cfg)
        return families;
    {
        std::lock_guard<std::mutex> guard(fontconfigLock());
        FcPattern* pattern = FcPatternCreate();
        FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
        FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
        FcFontSet* set = FcFontList(cfg, pattern, objects);
        FcObjectSetDestroy(objects);
        FcPatternDestroy(pattern);
        if (set) {
            for (int i = 0; i < set->nfont; ++i) {
                // The first family name is the font's own; later ones are localised or style aliases.
                FcChar8* name = nullptr;
                if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &name) == FcResultMatch)
                    families.emplace_back(reinterpret_cast<const char*>(name));
            }
            FcFontSetDestroy(set);
        }
    }
    std::sort(families.begin(), families.end(), [](const std::string& a, const std::string& b) {
        const std::string la = lowered(a), lb = lowered(b);
        return la != lb ? la < lb : a < b;
    });
    families.erase(std::unique(families.begin(), families.end(),
                               [](const std::string& a, const std::string& b) { return lowered(a) == lowered(b); }),
                   families.end());
    return families;
}

} // namespace display

// Fontconfig 2.14 loses one block while it parses its configuration, once per process. Builds with
// the leak checker are told so, and only about that library; other builds never call this.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
