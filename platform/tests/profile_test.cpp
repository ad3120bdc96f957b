#include "platform/profile.h"

#include <gtest/gtest.h>

#include "platform/tests/temp_folder.h"

namespace platform {
namespace {

using testing::TempFolder;

const std::string kFile = "; remark\r\n"
                          "[Settings]\r\n"
                          "WindowMode = 1 \r\n"
                          "Name=\"quoted value\"\r\n"
                          "Dup=first\r\n"
                          "dup=second\r\n"
                          "Empty=\r\n"
                          "Long=" +
                          std::string(300, 'x') +
                          "\r\n"
                          "\r\n"
                          "[ Other ]\r\n"
                          "key=other\r\n"
                          "[settings]\r\n"
                          "late=from the second header\r\n";

TEST(ProfileFile, ReadsWithWindowsSemantics) {
    struct Case {
        const char *section;
        const char *key;
        std::string expected;
    } cases[] = {
        {"SETTINGS", "windowmode", "1"},             // case-insensitive, blanks trimmed
        {"Settings", "Name", "quoted value"},        // matching quotes dropped
        {"Settings", "DUP", "first"},                // the first of duplicate keys counts
        {"Settings", "Empty", ""},                   // present but empty: not the default
        {"Settings", "Long", std::string(255, 'x')}, // cut at 255
        {"Other", "key", "other"},                   // blanks inside the brackets ignored
        {"Settings", "late", "default"},             // only the first section of a name counts
        {"Missing", "key", "default"},               // missing section
        {"Settings", "missing", "default"},          // missing key
        {"Settings", "; remark", "default"},         // remarks are no keys
    };
    TempFolder dir;
    ProfileFile file(dir.write("a.ini", kFile));
    ASSERT_EQ(file.load(), ProfileFile::LoadStatus::Ok);
    for (const auto &c : cases)
        EXPECT_EQ(file.get(c.section, c.key, "default"), c.expected) << c.section << "/" << c.key;
}

TEST(ProfileFile, LfAndCrLfFilesReadAlikeAndKeepTheirStyleWhenWritten) {
    TempFolder dir;
    for (const char *ending : {"\n", "\r\n"}) {
        std::string text = std::string("[A]") + ending + "k=v" + ending;
        std::string path = dir.write("e.ini", text);
        ProfileFile file(path);
        ASSERT_EQ(file.load(), ProfileFile::LoadStatus::Ok);
        EXPECT_EQ(file.get("a", "K"), "v");
        file.set("A", "k2", "w");
        ASSERT_TRUE(file.save());
        EXPECT_EQ(dir.read("e.ini"), text + "k2=w" + ending) << "ending " << (ending[1] ? "CR LF" : "LF");
    }
}

TEST(ProfileFile, WritingReplacesInPlaceAndAppendsNewKeysToTheirSection) {
    TempFolder dir;
    std::string path = dir.write("w.ini", "[One]\r\nA=1\r\na=dup\r\n\r\n[Two]\r\nB=2\r\n");
    ASSERT_TRUE(writeProfileString(path, "one", "A", "10"));            // the first of the duplicates is replaced
    ASSERT_TRUE(writeProfileString(path, "ONE", "C", "3"));             // new key: end of its section, before the blank
    ASSERT_TRUE(writeProfileString(path, "Three", "D", "4"));           // new section at the end
    ASSERT_TRUE(writeProfileString(path, "Two", "B", "line\r\nbreak")); // no line injection
    EXPECT_EQ(dir.read("w.ini"),
              "[One]\r\nA=10\r\na=dup\r\nC=3\r\n\r\n[Two]\r\nB=line  break\r\n\r\n[Three]\r\nD=4\r\n");
    EXPECT_EQ(readProfileString(path, "one", "a"), "10");
}

TEST(ProfileFile, MissingFileGivesDefaultsAndIsCreatedOnWrite) {
    TempFolder dir;
    std::string path = dir.file("new.ini");
    ProfileFile file(path);
    EXPECT_EQ(file.load(), ProfileFile::LoadStatus::Missing);
    EXPECT_EQ(file.get("S", "k", "dflt"), "dflt");
    ASSERT_TRUE(writeProfileString(path, "S", "k", "v"));
    EXPECT_EQ(dir.read("new.ini"), "[S]\r\nk=v\r\n");
}

TEST(ProfileFile, FailedWriteLeavesTheOldFileIntact) {
    TempFolder dir;
    std::string path = dir.write("keep.ini", "[S]\r\nk=old\r\n");
    // The temporary file cannot be created: a folder stands in its way.
    std::filesystem::create_directory(path + ".zvtmp");
    std::string error;
    EXPECT_FALSE(writeProfileString(path, "S", "k", "new", &error));
    EXPECT_NE(error.find("keep.ini"), std::string::npos) << error;
    EXPECT_EQ(dir.read("keep.ini"), "[S]\r\nk=old\r\n");
}

TEST(ProfileFile, UnreadableFileIsNeverReplaced) {
    TempFolder dir;
    std::filesystem::create_directory(dir.file("dir.ini")); // reading a folder fails even for root
    ProfileFile file(dir.file("dir.ini"));
    EXPECT_EQ(file.load(), ProfileFile::LoadStatus::Unreadable);
    EXPECT_FALSE(writeProfileString(dir.file("dir.ini"), "S", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("dir.ini")));
}

TEST(ProfileFile, BinaryGarbageReadsAsDefaults) {
    TempFolder dir;
    std::string garbage("\0\xff[\x01=\n]]]==\r\r\n[", 16);
    ProfileFile file(dir.write("g.ini", garbage));
    ASSERT_EQ(file.load(), ProfileFile::LoadStatus::Ok);
    EXPECT_EQ(file.get("SETTINGS", "DEBUGMODE", "0"), "0");
}

} // namespace
} // namespace platform
