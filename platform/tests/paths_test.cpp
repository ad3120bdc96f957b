#include "platform/paths.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/tests/temp_folder.h"

#include <filesystem>

namespace platform {
namespace {

TEST(PathMapper, MapsWindowsPathsOntoAMixedCaseTree) {
    testing::TempFolder dir;
    const std::string root = dir.path();
    dir.write("Games/Data/Level1.TXT", "1");
    dir.write("Games/gfx/Logo.BMP", "2");
    dir.write("Games/gfx/logo.bmp.bak", "3");
    dir.write("Games/Music/song.mid", "4");
    PathMapper mapper;
    mapper.setDrive('c', root);
    const std::string cwd = root + "/Games/gfx";
    struct Case {
        const char *path;
        std::string expected;
    } cases[] = {
        {"C:\\GAMES\\data\\level1.txt", root + "/Games/Data/Level1.TXT"},
        {"c:/games/DATA/LEVEL1.txt", root + "/Games/Data/Level1.TXT"},
        {"logo.bmp", root + "/Games/gfx/Logo.BMP"}, // relative to the current folder
        {"..\\MUSIC\\Song.MID", root + "/Games/Music/song.mid"},
        {".\\.\\logo.BMP", root + "/Games/gfx/Logo.BMP"},
        {"C:\\Games\\\\gfx\\", root + "/Games/gfx"},                          // doubled and trailing separators
        {"C:\\games\\NewFolder\\New.TXT", root + "/Games/NewFolder/New.TXT"}, // missing parts keep their case
        {"C:\\games\\new\\..\\DATA", root + "/Games/Data"},
        {"C:\\..\\..\\Games", root + "/Games"}, // never above the drive
    };
    for (const auto &c : cases)
        EXPECT_EQ(mapper.map(c.path, cwd), c.expected) << c.path;
}

TEST(PathMapper, DriveLettersUseTheConfiguredRoot) {
    PathMapper mapper;
    mapper.setDriveRoot("/srv/zv");
    mapper.setDrive('D', "/media/cd");
    EXPECT_EQ(mapper.driveFolder('c'), "/srv/zv");
    EXPECT_EQ(mapper.map("d:\\nothing-here", "/"), "/media/cd/nothing-here");
}

TEST(PathMapper, SeveralCaseMatchesPickTheSameOneEveryTime) {
    testing::TempFolder dir;
    dir.write("abc.txt", "lower");
    dir.write("ABC.TXT", "upper");
    dir.write("Abc.Txt", "mixed");
    PathMapper mapper;
    // Exact names win; otherwise the first in byte order ("ABC.TXT").
    EXPECT_EQ(mapper.map("Abc.Txt", dir.path()), dir.file("Abc.Txt"));
    EXPECT_EQ(mapper.map("aBC.txt", dir.path()), dir.file("ABC.TXT"));
}

// The folder beside the executable holds the vocabulary and the language files: the path must be
// the running program's, whichever directory the process has moved to since it was first asked.
TEST(ExecutablePath, NamesTheRunningProgramAfterTheDirectoryChanges) {
    const std::string first = executablePath();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, std::filesystem::canonical("/proc/self/exe").string());
    const auto previous = std::filesystem::current_path();
    testing::TempFolder dir;
    std::filesystem::current_path(dir.path());
    EXPECT_EQ(executablePath(), first);
    std::filesystem::current_path(previous);
}

} // namespace
} // namespace platform
