#include "compiler/language_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace compiler {
namespace {

TEST(LanguageFile, ReadsSectionsKeysAndValues) {
    LanguageFile file;
    file.parse("; remark\r\n[general]\r\n0=Zero\r\n 29 = Last \r\n30=outside\r\n[Compiler]\n1=first\n1=second\n"
               "x=not a number\n[ERRORS]\r\n5=" + std::string(300, 'e') + "\r\n[unknown]\r\n1=never\r\n");
    EXPECT_EQ(file.text(LanguageFile::General, 0), "Zero");
    EXPECT_EQ(file.text(LanguageFile::General, 29), "Last");
    EXPECT_EQ(file.text(LanguageFile::General, 30), "");
    EXPECT_EQ(file.text(LanguageFile::Compiler, 1), "first");
    EXPECT_EQ(file.text(LanguageFile::Errors, 5), std::string(255, 'e'));
    EXPECT_EQ(file.text(LanguageFile::Menu, 1), "");
}

TEST(LanguageFile, BuiltInEnglishHasEveryCompilerMessage) {
    for (int key : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,
                    27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 47, 48, 49, 50, 51, 52,
                    53, 54, 55, 56})
        EXPECT_FALSE(LanguageFile::builtIn().text(LanguageFile::Compiler, key).empty()) << key;
}

TEST(LanguageFile, SettingsChooseTheLanguageAndHelpFolders) {
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / "zv_language_settings";
    fs::remove_all(root);
    fs::create_directories(root / "LANG" / "GERMAN");
    std::ofstream(root / "LANG" / "GERMAN" / "WORDS.TXT") << "[COMPILER]\r\n29=Unbekannt\r\n";
    std::ofstream(root / "SETUP.INI") << "[Settings]\r\nTextLanguage=german\r\nHelpLanguage=German\r\n"
                                         "TEXTLANGUAGE-CHARSET=161\r\n";
    LanguageSettings settings = readLanguageSettings(root.string());
    EXPECT_EQ(settings.textLanguage, "GERMAN");
    EXPECT_EQ(settings.textCharset, 161);
    EXPECT_EQ(settings.helpCharset, 0);
    EXPECT_EQ(fs::path(settings.languageFile), root / "LANG" / "GERMAN" / "WORDS.TXT");
    EXPECT_EQ(settings.helpFolder, root.string() + "/LANG/GERMAN/HELP/");
    LanguageFile file;
    ASSERT_TRUE(file.loadFile(settings.languageFile));
    EXPECT_EQ(file.text(LanguageFile::Compiler, 29), "Unbekannt");

    fs::remove(root / "SETUP.INI");
    settings = readLanguageSettings(root.string());
    EXPECT_EQ(settings.textLanguage, "ENGLISH");
    EXPECT_EQ(settings.helpFolder, root.string() + "/HELP/");
    EXPECT_FALSE(LanguageFile().loadFile((root / "missing.txt").string()));
    fs::remove_all(root);
}

TEST(LanguageFile, TheChosenFileIsReadWhenATextIsFirstAskedFor) {
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / "zv_language_chosen";
    fs::remove_all(root);
    fs::create_directories(root / "LANG" / "GERMAN");
    std::ofstream(root / "SETUP.INI") << "[Settings]\r\nTextLanguage=German\r\n";
    // Chosen before the file is there: nothing is read until a text is wanted.
    LanguageFile chosen = LanguageFile::chosenIn(root.string());
    const LanguageFile copy = chosen;
    std::ofstream(root / "LANG" / "GERMAN" / "WORDS.TXT") << "[COMPILER]\r\n29=Unbekannt\r\n";
    EXPECT_EQ(chosen.text(LanguageFile::Compiler, 29), "Unbekannt");
    EXPECT_EQ(copy.text(LanguageFile::Compiler, 29), "Unbekannt");
    EXPECT_EQ(chosen.text(LanguageFile::Compiler, 30), "");  // a key the file lacks
    // A folder whose choice cannot be read gives our English texts.
    fs::remove_all(root / "LANG");
    EXPECT_EQ(LanguageFile::chosenIn(root.string()).text(LanguageFile::Compiler, 29),
              LanguageFile::builtIn().text(LanguageFile::Compiler, 29));
    fs::remove_all(root);
}

}  // namespace
}  // namespace compiler
