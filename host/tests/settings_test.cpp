// SETUP.INI, the remembered state, the log file and the console transcript.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/log_file.h"
#include "host/settings.h"
#include "host/state_store.h"
#include "host/transcript_console.h"
#include "platform/tests/temp_folder.h"

namespace host {
namespace {

using platform::testing::TempFolder;

struct Folders {
    TempFolder dir;
    Folders() {
        std::filesystem::create_directories(dir.file("bin"));
        std::filesystem::create_directories(dir.file("start"));
    }
    HostPaths paths(bool startInBin = false) const {
        return hostPathsFor(dir.file(startInBin ? "bin" : "start"), dir.file("bin/zorvane"), dir.file("tmp"),
                            dir.file("config"));
    }
    Settings read(std::vector<std::string> *warnings = nullptr, bool startInBin = false) const {
        std::vector<std::string> ignored;
        return readSettings(paths(startInBin), warnings ? *warnings : ignored);
    }
};

TEST(Settings, DefaultsWithoutAFile) {
    Folders f;
    std::vector<std::string> warnings;
    Settings s = f.read(&warnings);
    EXPECT_FALSE(s.blitFlipMode || s.blitOverdraw || s.windowMode || s.debugMode || s.traceMode || s.runtimeTest);
    EXPECT_TRUE(s.fullScreen);
    EXPECT_EQ(s.blitOverdrawFactor(), 1);
    EXPECT_EQ(s.externalEditor, "");
    EXPECT_EQ(s.textLanguage, "English");
    EXPECT_EQ(s.helpLanguage, "English");
    EXPECT_EQ(s.textLanguageCharset, "");
    EXPECT_TRUE(warnings.empty());
}

TEST(Settings, FlagsAreOnOnlyForExactlyOne) {
    struct Case {
        const char *value;
        bool on;
    } cases[] = {{"1", true},    {" 1 ", true}, {"\" 1\"", false}, {"01", false},
                 {"yes", false}, {"2", false},  {"", false},       {"1.0", false}};
    for (const auto &c : cases) {
        Folders f;
        f.dir.write("bin/SETUP.INI", std::string("[settings]\r\ndebugmode=") + c.value + "\r\nWINDOWMODE=" + c.value +
                                         "\r\nBLITOVERDRAW=" + c.value + "\r\n");
        Settings s = f.read();
        EXPECT_EQ(s.debugMode, c.on) << c.value;
        EXPECT_EQ(s.windowMode, c.on) << c.value;
        EXPECT_EQ(s.fullScreen, !c.on) << c.value;
        EXPECT_EQ(s.blitOverdrawFactor(), c.on ? 2 : 1) << c.value;
    }
}

TEST(Settings, DiagnosticModesComeFromTheirFoldersAndStartAFreshLogThere) {
    Folders f;
    f.dir.write("bin/SETUP.INI", "[SETTINGS]\nDEBUGMODE=1\nRUNTIMETEST=1\nTEXTLANGUAGE=Deutsch\n");
    f.dir.write("start/SETUP.INI", "[SETTINGS]\nTRACEMODE=1\nDEBUGMODE=0\n");
    f.dir.write("bin/QX.LOG", "[ERRORLOG]\nold=entry\n");
    f.dir.write("start/QX.LOG", "[ERRORLOG]\nold=entry\n");
    Settings s = f.read();
    EXPECT_TRUE(s.debugMode);    // executable folder
    EXPECT_TRUE(s.traceMode);    // start directory
    EXPECT_FALSE(s.runtimeTest); // only the start directory's counts
    EXPECT_EQ(s.textLanguage, "Deutsch");
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("start/QX.LOG")));
    // Started elsewhere: the executable folder's stale log stays.
    EXPECT_TRUE(std::filesystem::exists(f.dir.file("bin/QX.LOG")));
}

TEST(Settings, ExternalEditorOnlyWhenTheFileExists) {
    Folders f;
    f.dir.write("bin/SETUP.INI", "[SETTINGS]\nEXTERNALEDITOR=tools/ed\n");
    EXPECT_EQ(f.read().externalEditor, "");
    f.dir.write("bin/tools/ed", "#!/bin/sh\n");
    EXPECT_EQ(f.read().externalEditor, f.dir.file("bin/tools/ed"));
}

TEST(Settings, MalformedOrUnreadableFilesGiveDefaultsAndAWarning) {
    Folders f;
    f.dir.write("bin/SETUP.INI", std::string("\x00\xff[SETTINGS\n=1\nDEBUGMODE\n[]\n", 24));
    std::vector<std::string> warnings;
    EXPECT_FALSE(f.read(&warnings).debugMode);
    EXPECT_TRUE(warnings.empty()); // readable, merely odd
    std::filesystem::remove(f.dir.file("bin/SETUP.INI"));
    std::filesystem::create_directory(f.dir.file("bin/SETUP.INI")); // cannot be read as a file
    Settings s = f.read(&warnings, true);
    EXPECT_TRUE(s.fullScreen);
    ASSERT_EQ(warnings.size(), 1u); // one warning, though both folders name the same file
    EXPECT_NE(warnings[0].find("SETUP.INI"), std::string::npos);
}

TEST(StateStore, DefaultsWritesAndAFolderThatCannotBeWritten) {
    TempFolder dir;
    std::vector<std::string> warnings;
    StateStore state(dir.file("config/zorvane"), [&](const std::string &w) { warnings.push_back(w); });
    EXPECT_EQ(state.get("BEST3DDEPTH"), "16");
    EXPECT_EQ(state.get("best3dcard"), "");
    EXPECT_TRUE(state.set("BEST3DCARD", "**ask**"));
    EXPECT_EQ(state.get("Best3DCard"), "**ask**");
    EXPECT_EQ(dir.read("config/zorvane/win.ini"), "[ZorvaneStateData]\r\nBEST3DCARD=**ask**\r\n");

    // A file where the folder should be: nothing can be remembered; said once, never a crash.
    dir.write("blocked", "x");
    StateStore blocked(dir.file("blocked/zorvane"), [&](const std::string &w) { warnings.push_back(w); });
    EXPECT_FALSE(blocked.set("BEST3DCARD", "a"));
    EXPECT_FALSE(blocked.set("BEST3DCARD", "b"));
    EXPECT_EQ(blocked.get("BEST3DDEPTH"), "16");
    EXPECT_EQ(warnings.size(), 1u);
}

TEST(LogFile, ErrorEntriesByMinuteAndTraceEntriesByPosition) {
    TempFolder dir;
    LogFile log(dir.file("QX.LOG"));
    log.logRuntimeError("not in debug mode");
    log.trace(0, 5);
    EXPECT_TRUE(log.flushTrace());
    EXPECT_FALSE(std::filesystem::exists(dir.file("QX.LOG")));

    log.setEnabled(true);
    const std::time_t when = 1700000000; // 14/11/2023 22:13 UTC
    EXPECT_EQ(LogFile::errorKey("RUNTIMEERROR", when), "RUNTIMEERROR ON 14/11/2023 AT 22:13");
    log.logRuntimeError("first", when);
    log.logRuntimeError("second", when + 30); // same minute: one entry
    log.logEngineError("no device", when);
    for (int position : {0, 3, 0, 7})
        log.trace(position, 100 + position);
    log.trace(3, 999); // a position reached again with another code keeps the latest
    EXPECT_TRUE(log.flushTrace());
    platform::ProfileFile file(dir.file("QX.LOG"));
    file.load();
    EXPECT_EQ(file.get("ERRORLOG", "RUNTIMEERROR ON 14/11/2023 AT 22:13"), "second");
    EXPECT_EQ(file.get("ERRORLOG", "ENGINEERROR ON 14/11/2023 AT 22:13"), "no device");
    EXPECT_EQ(file.keys("ZORVANELOOPMIDDLE"), (std::vector<std::string>{"PC0", "PC3", "PC7"}));
    EXPECT_EQ(file.get("ZORVANELOOPMIDDLE", "PC3"), "999");
}

TEST(TranscriptConsole, PrintsLinesAsTheyStandOnScreen) {
    TempFolder dir;
    {
        TranscriptConsole console;
        std::string error;
        ASSERT_TRUE(console.openFile(dir.file("out.txt"), error));
        console.print("plain", false, false, false);
        console.print("a", true, false, true);
        console.print("b", false, false, true);
        // An input entry: the cursor mark printed over and over at the entry's start, then erased.
        console.print("x=", true, false, true);
        int start = console.cursorX();
        for (const char *shown : {"_", "1_", "12_", "1_", "14_"}) {
            console.erase(start, 3);
            console.setCursorX(start);
            console.print(shown, true, true, false);
        }
        console.setCursorX(start);
        console.print("14  ", false, true, false);
        console.print("bytes \x01\xff", true, false, true);         // unfinished line: written at the end
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt"))); // in place only when finished
    }
    EXPECT_EQ(dir.read("out.txt"), "plain\nab\nx=14  \nbytes \x01\xff");
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.txt.zvtmp")));
}

} // namespace
} // namespace host
