// Interface language files: every text the editor, its dialogs, the help viewer and the compiler show
// comes from LANG/<language>/WORDS.TXT by section and number. Our English file is also compiled in,
// so the compiler always has its messages.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace compiler {

class LanguageFile {
public:
    enum Section { General, Menu, Title, Desc, Compiler, Errors, SectionCount };
    static constexpr std::array<int, SectionCount> kSectionSizes = {30, 100, 20, 80, 60, 200};
    static constexpr std::array<std::string_view, SectionCount> kSectionNames = {
        "GENERAL", "MENU", "TITLE", "DESC", "COMPILER", "ERRORS"};

    LanguageFile();

    // Reads a profile-format text (sections in brackets, `key=value` lines, CR LF or LF). Keys outside a
    // section's range are ignored; values are cut at 255 characters; the first definition of a key wins.
    void parse(std::string_view text);
    // Returns false when the file cannot be read (every slot stays empty then).
    bool loadFile(const std::string& path);

    // The text of a slot, or "" for a missing key or a key outside the section.
    const std::string& text(Section section, int key) const;

    // Our English texts, compiled in.
    static const LanguageFile& builtIn();
    static std::string_view builtInText();

    // The language file SETUP.INI in `installFolder` chooses (our English texts when it cannot be
    // read), read when a text is first asked for: most compiles never show a message.
    static LanguageFile chosenIn(const std::string& installFolder);

private:
    void readChosenFile() const;

    mutable std::array<std::vector<std::string>, SectionCount> slots_;
    mutable std::string pendingFolder_;  // the install folder whose file is still to be read
    mutable bool pending_ = false;
};

// The interface language chosen by SETUP.INI's [SETTINGS] section in the installation folder.
struct LanguageSettings {
    std::string textLanguage = "ENGLISH";  // upper case: the folder under LANG
    std::string helpLanguage = "ENGLISH";
    int textCharset = 0;
    int helpCharset = 0;
    std::string languageFile;  // <install>/LANG/<TEXTLANGUAGE>/WORDS.TXT
    std::string helpFolder;    // <install>/HELP/ for English, else <install>/LANG/<HELPLANGUAGE>/HELP/
};

LanguageSettings readLanguageSettings(const std::string& installFolder);

// Reads one value of a profile-format text (section and key compared without regard to case).
std::string profileValue(std::string_view text, std::string_view section, std::string_view key,
                         const std::string& fallback = "");

}  // namespace compiler
