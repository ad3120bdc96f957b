#include "compiler/language_file.h"

#include "compiler/paths.h"
#include "platform/files.h"

#include <cstdlib>

extern const char zv_words_text[];
extern const unsigned long zv_words_text_size;

namespace compiler {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= 32) s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 32) s.remove_suffix(1);
    return s;
}

// Calls visit(section, key, value) for every `key=value` line of a profile text, in order.
template <typename Visit>
void forEachProfileLine(std::string_view text, Visit visit) {
    std::string section;
    size_t p = 0;
    while (p < text.size()) {
        size_t end = text.find('\n', p);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = trim(text.substr(p, end - p));
        p = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            section = upper(trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1)));
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        visit(section, upper(trim(line.substr(0, eq))), value);
    }
}

std::string readWhole(const std::string& path, bool& ok) {
    std::string text;
    ok = platform::readFile(path, text);
    return text;
}

}  // namespace

// The slots are made by the first text read into a section: a file chosen for later, or one that
// never shows a message, costs nothing.
LanguageFile::LanguageFile() = default;

void LanguageFile::parse(std::string_view text) {
    std::array<std::vector<bool>, SectionCount> seen;
    for (int s = 0; s < SectionCount; ++s) seen[s].assign(kSectionSizes[s], false);
    forEachProfileLine(text, [&](const std::string& section, const std::string& key, std::string_view value) {
        int s = 0;
        while (s < SectionCount && kSectionNames[s] != section) ++s;
        if (s == SectionCount || key.empty() || key.size() > 9) return;
        for (char c : key)
            if (c < '0' || c > '9') return;
        int k = std::atoi(key.c_str());
        if (k >= kSectionSizes[s] || seen[s][k]) return;
        seen[s][k] = true;
        if (slots_[s].empty()) slots_[s].resize(kSectionSizes[s]);
        slots_[s][k] = std::string(value.substr(0, 255));
    });
}

bool LanguageFile::loadFile(const std::string& path) {
    bool ok = false;
    std::string text = readWhole(path, ok);
    if (ok) parse(text);
    return ok;
}

LanguageFile LanguageFile::chosenIn(const std::string& installFolder) {
    LanguageFile file;
    file.pendingFolder_ = installFolder;
    file.pending_ = true;
    return file;
}

void LanguageFile::readChosenFile() const {
    pending_ = false;
    LanguageFile chosen;
    if (!chosen.loadFile(readLanguageSettings(pendingFolder_).languageFile)) chosen = builtIn();
    slots_ = std::move(chosen.slots_);
    pendingFolder_.clear();
}

const std::string& LanguageFile::text(Section section, int key) const {
    static const std::string empty;
    if (pending_) readChosenFile();
    if (section < 0 || section >= SectionCount || key < 0 || key >= kSectionSizes[section]) return empty;
    const std::vector<std::string>& slots = slots_[section];
    return static_cast<size_t>(key) < slots.size() ? slots[key] : empty;
}

std::string_view LanguageFile::builtInText() { return {zv_words_text, zv_words_text_size}; }

const LanguageFile& LanguageFile::builtIn() {
    static const LanguageFile english = [] {
        LanguageFile file;
        file.parse(builtInText());
        return file;
    }();
    return english;
}

std::string profileValue(std::string_view text, std::string_view section, std::string_view key,
                         const std::string& fallback) {
    std::string wantedSection = upper(section), wantedKey = upper(key);
    std::string found;
    bool have = false;
    forEachProfileLine(text, [&](const std::string& s, const std::string& k, std::string_view value) {
        if (!have && s == wantedSection && k == wantedKey) {
            found = std::string(value.substr(0, 255));
            have = true;
        }
    });
    return have && !found.empty() ? found : fallback;
}

LanguageSettings readLanguageSettings(const std::string& installFolder) {
    bool ok = false;
    std::string setup = readWhole(findFileIgnoringCase(installFolder, "SETUP.INI"), ok);
    LanguageSettings settings;
    settings.textLanguage = upper(profileValue(setup, "SETTINGS", "TEXTLANGUAGE", "English"));
    settings.helpLanguage = upper(profileValue(setup, "SETTINGS", "HELPLANGUAGE", "English"));
    settings.textCharset = std::atoi(profileValue(setup, "SETTINGS", "TEXTLANGUAGE-CHARSET", "0").c_str());
    settings.helpCharset = std::atoi(profileValue(setup, "SETTINGS", "HELPLANGUAGE-CHARSET", "0").c_str());
    std::string root = installFolder.empty() ? "." : installFolder;
    settings.languageFile = findFileIgnoringCase(root, "LANG/" + settings.textLanguage + "/WORDS.TXT");
    settings.helpFolder = settings.helpLanguage == "ENGLISH" ? root + "/HELP/"
                                                             : root + "/LANG/" + settings.helpLanguage + "/HELP/";
    return settings;
}

}  // namespace compiler
