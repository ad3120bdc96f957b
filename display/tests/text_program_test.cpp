// Text programs run headless through the host with the display attached: the print cursor
// (lines, staying on the line, wrapping, no scrolling, clear and set cursor), the text font's
// values changing when the queue runs, centred text, the font list, input editing on screen and in
// the transcript, and golden frames (PNG files in tests/golden) of text in several fonts, sizes
// and styles. Run with ZV_UPDATE_GOLDEN=1 to write the golden frames anew after a deliberate change.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>

#include "display/codecs/decoded_image.h"
#include "display/tests/golden_picture.h"
#include "display/font_catalog.h"
#include "display/host_hookup.h"
#include "display/query_output.h"
#include "display/text_engine.h"
#include "host/tests/host_fixture.h"
#include "platform/platform.h"

namespace display {
namespace {

std::string lines(std::initializer_list<std::string> program) {
    std::string out;
    for (const std::string& line : program)
        out += line + "\r\n";
    return out;
}

class TextProgram : public host::testing::HostTest {
  protected:
    struct Outcome {
        host::RunResult result;
        std::string console;
        std::vector<uint32_t> lastFrame; // 0x00RRGGBB, kScreenWidth x kScreenHeight
        int cursorX = -1, cursorY = -1;
        QueryResult query;
    };

    Outcome runProgram(const std::string& source, const std::string& script = "", uint64_t maxFrames = 200) {
        HookupOptions options;
        options.want3d = false;
        host::Host host(paths(), headless(script, maxFrames));
        attachDisplay(host, options);
        Outcome out;
        host.hooks().frameEnd.push_back([&out](host::Host& h) { out.lastFrame = h.frameBuffer(); });
        out.result = run(host, compile(source));
        out.console = console();
        if (const TextState* t = textOf(host.machine())) {
            out.cursorX = t->cursorX;
            out.cursorY = t->cursorY;
        }
        out.query = lastQueryResult(host.machine());
        return out;
    }

    static uint32_t at(const Outcome& out, int x, int y) { return out.lastFrame[size_t(y) * platform::kScreenWidth + size_t(x)]; }
};

bool fontsInstalled(std::string& missing) {
    for (const char* family : {"Liberation Sans", "Liberation Serif", "Liberation Mono"})
        if (findFamily(family, false, false).path.empty())
            missing = std::string("the font family ") + family + " is not installed (package fonts-liberation2)";
    if (findFamily(kDefaultFontFamily, false, false).path.empty())
        missing = "the font family DejaVu Sans is not installed (package fonts-dejavu-core)";
    return missing.empty();
}

#define REQUIRE_FONTS()                                                                            \
    if (std::string missing; !fontsInstalled(missing))                                             \
    GTEST_SKIP() << missing

TEST_F(TextProgram, PrintCursorMovesLikeAConsoleWithoutScrolling) {
    REQUIRE_FONTS();
    auto printFont = Font::make(kSystemFontName, kSystemFontSize, kStyleNormal);
    ASSERT_TRUE(printFont);
    const int line = printFont->cellHeight();
    auto width = [&](const char* text) { return printFont->measure(text).width; };
    const std::string wide(60, 'W'); // wider than the screen
    ASSERT_GE(width(wide.c_str()), 640);
    struct Case {
        std::string program;
        int x, y;
    } cases[] = {
        {"print \"a\" : print \"b\" : print \"c\"", 0, 3 * line},
        {"printc \"abc\"", width("abc"), 0},
        {"printc \"ab\" : print \"cd\"", 0, line},
        {"printc 12 : printc 3.5", width("12") + width("3.5"), 0},
        {"print", 0, line},
        {"print \"\"", 0, line},
        {"printc \"" + wide + "\"", 0, line},                     // wraps after the text, which is not split
        {"print \"" + wide + "\"", 0, line},                      // a line end does not wrap twice
        {"set cursor 600, 10 : printc \"WWWWW\"", 0, 10 + line}, // at or past the width: next line
        {"set cursor 100, 50 : printc \"x\"", 100 + width("x"), 50},
        {"for i = 1 to 40 : print i : next i", 0, 40 * line}, // past the bottom: nothing scrolls
        {"print \"a\" : printc \"b\" : cls : printc \"c\"", width("c"), 0},
        {"print \"a\" : cls rgb(0, 0, 255) : print \"c\"", 0, line},
    };
    for (const Case& c : cases) {
        const Outcome out = runProgram(c.program + "\r\nend\r\n");
        ASSERT_EQ(out.result.errorCode, 0) << c.program << ": " << out.result.message;
        EXPECT_EQ(out.cursorX, c.x) << c.program;
        EXPECT_EQ(out.cursorY, c.y) << c.program;
    }
}

TEST_F(TextProgram, FontValuesChangeWhenTheQueueRuns) {
    REQUIRE_FONTS();
    const int before = Font::make(kSystemFontName, kSystemFontSize, kStyleNormal)->measure("Hello").width;
    const int after = Font::make("Arial", 30, kStyleBold)->measure("Hello").width;
    const Outcome out = runProgram(lines({
        "manual refresh",
        "set text font \"Arial\" : set text size 30 : text style bold : text opaque",
        "print text font$(); \" \"; text size(); \" \"; text style(); \" \"; text background(); \" \"; text width(\"Hello\"); \" \"; text height(\"Hello\")",
        "refresh",
        "print text font$(); \" \"; text size(); \" \"; text style(); \" \"; text background(); \" \"; text width(\"Hello\"); \" \"; text height(\"Hello\")",
        "text style italic : text transparent : refresh : print text style(); text background()",
        "text style bold italic : refresh : print text style()",
        "text style normal : refresh : print text style()",
        "end",
    }));
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "system 10 0 0 " + std::to_string(before) + " 16\nArial 30 2 1 " + std::to_string(after) +
                               " 30\n10\n3\n0\n");
}

TEST_F(TextProgram, CentredTextStartsHalfItsWidthLeftOfThePoint) {
    REQUIRE_FONTS();
    // Liberation Mono at 20: 11 pixels a character, so "Hello" is 55 wide and starts at 200 - 27.
    const Outcome out = runProgram(lines({
        "ink rgb(255, 255, 0), rgb(0, 0, 255)",
        "set text font \"Courier New\" : set text size 20 : text opaque",
        "center text 200, 100, \"Hello\"",
        "print text width(\"Hello\")",
        "text transparent",
        "text 300, 300, \"Hello\"",
        "refresh",
        "end",
    }));
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    ASSERT_EQ(out.console, "55\n");
    EXPECT_EQ(at(out, 173, 100), 0x0000FFu);
    EXPECT_EQ(at(out, 172, 100), 0u);
    EXPECT_EQ(at(out, 227, 119), 0x0000FFu);
    EXPECT_EQ(at(out, 228, 119), 0u);
    EXPECT_EQ(at(out, 173, 120), 0u);
    // Transparent text leaves the background between its strokes alone.
    int yellow = 0, blue = 0;
    for (int y = 300; y < 320; ++y)
        for (int x = 300; x < 355; ++x) {
            yellow += at(out, x, y) == 0xFFFF00u;
            blue += at(out, x, y) == 0x0000FFu;
        }
    EXPECT_GT(yellow, 20);
    EXPECT_EQ(blue, 0);
}

TEST_F(TextProgram, FontListHoldsEachFamilyOnce) {
    REQUIRE_FONTS();
    const Outcome out = runProgram("list fonts\r\nend\r\n");
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    ASSERT_TRUE(out.query.valid);
    EXPECT_LE(out.query.entries.size(), 255u);
    std::set<std::string> seen;
    for (const QueryEntry& e : out.query.entries) {
        EXPECT_TRUE(e.values.empty()) << "the font list carries names only";
        std::string key = e.text;
        for (char& c : key)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_TRUE(seen.insert(key).second) << "listed twice: " << e.text;
    }
    EXPECT_TRUE(seen.count("dejavu sans"));
    EXPECT_TRUE(seen.count("liberation sans"));

    // The program reads the names through the query list, which holds no values.
    const Outcome read = runProgram("list fonts\r\nprint query list count(); \" \"; query list text$(1)\r\nend\r\n");
    ASSERT_EQ(read.result.errorCode, 0) << read.result.message;
    EXPECT_EQ(read.console, std::to_string(out.query.entries.size()) + " " + out.query.entries[0].text + "\n");
    EXPECT_EQ(runProgram("list fonts\r\nx = query list value a(1)\r\nend\r\n").result.errorCode, 9004);
}

// On a flip chain screen drawing runs again on the second page a frame later; the font changes
// between texts run again with it, so both pages show each text in its own font.
TEST_F(TextProgram, BothPagesOfAFlipChainShowTheSameText) {
    REQUIRE_FONTS();
    dir.write("bin/SETUP.INI", "[SETTINGS]\r\nBLITFLIPMODE=0\r\n");
    HookupOptions options;
    options.want3d = false;
    options.adapters = {Adapter{"Test GPU", false, true, true, 64u << 20, 32u << 20, false, false}};
    host::Host host(paths(), headless("", 50));
    std::shared_ptr<DisplayDevice> device;
    attachDisplay(host, options, &device);
    std::vector<std::vector<uint32_t>> frames;
    host.hooks().frameEnd.push_back([&frames](host::Host& h) { frames.push_back(h.frameBuffer()); });
    const host::RunResult result = run(host, compile(lines({
                                                 "manual refresh",
                                                 "set text font \"Courier New\" : set text size 20",
                                                 "text 0, 0, \"AAAA\"",
                                                 "set text font \"Times New Roman\" : set text size 40",
                                                 "text 0, 100, \"BBBB\"",
                                                 "refresh : refresh : refresh",
                                                 "end",
                                             })));
    ASSERT_EQ(result.errorCode, 0) << result.message;
    ASSERT_TRUE(device && device->flipChain);
    ASSERT_GE(frames.size(), 3u);
    const auto& last = frames[frames.size() - 1];
    const auto& before = frames[frames.size() - 2];
    EXPECT_TRUE(last == before) << "the two pages differ";
}

// The input program of the golden frames: typed text, backspaces, a refused key, Enter.
const char* const kInputScript = "frame 3 text Boxy\nframe 8 char 8\nframe 9 char 8\nframe 10 text b\n"
                                 "frame 12 char 13\nframe 20 text 12x\nframe 28 char 8\nframe 30 char 13\n";
const std::string kInputProgram = lines({
    "printc \"Name? \"",
    "input a$",
    "print \"Hi \" + a$",
    "printc \"N? \"",
    "input n",
    "print n * 2",
    "end",
});

TEST_F(TextProgram, InputEditingKeepsTheTranscriptExact) {
    REQUIRE_FONTS();
    const Outcome out = runProgram(kInputProgram, kInputScript, 60);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "Name? Bob  \nHi Bob\nN? 1  \n2\n");
}

TEST_F(TextProgram, FramesMatchTheGoldenPictures) {
    REQUIRE_FONTS();
    struct Case {
        const char* name;
        std::string program;
        std::string script;
    } cases[] = {
        {"print", lines({"cls rgb(0, 0, 64)", "print \"Lines end here\"", "printc \"and stay \"", "printc 42",
                         "printc \" \"", "print 3.25", "ink rgb(255, 128, 0), rgb(0, 96, 0)", "print \"orange\"",
                         "set cursor 300, 200", "printc \"at 300, 200\"",
                         "printc \" and on past the right edge of the screen, wrapping\"",
                         "print \"next line\"", "set cursor 620, 460", "print \"clipped\"", "refresh", "end"}),
         ""},
        {"fonts", lines({"cls rgb(32, 32, 32)", "ink rgb(0, 64, 128), 0", "box 0, 240, 639, 300",
                         "ink rgb(255, 255, 255), rgb(128, 0, 0)", "y = 0",
                         "set text font \"Arial\" : set text size 12 : text 0, y, \"Arial 12 The quick brown fox\"",
                         "text style bold : text 320, y, \"Arial 12 bold\"",
                         "set text size 24 : text style normal : text 0, 20, \"Arial 24 normal\"",
                         "text style italic : text 320, 20, \"Arial 24 italic\"",
                         "text style bold : text 0, 50, \"Arial 24 bold\"",
                         "text style bold italic : text 320, 50, \"Arial 24 bold italic\"",
                         "set text font \"Times New Roman\" : text style normal : set text size 16",
                         "text 0, 90, \"Times New Roman 16 \xC0\xC9\xCE\xF5\xFC \x80\"",
                         "set text size 40 : text 0, 110, \"Times 40 Ag\"",
                         "set text font \"Courier New\" : set text size 20 : text 0, 170, \"Courier New 20 {}[]|\"",
                         "set text font \"No Such Font\" : set text size 18 : text 0, 200, \"Unknown font falls back\"",
                         "set text font \"Arial\" : set text size 30 : text opaque : text 10, 250, \"opaque\"",
                         "text transparent : text 200, 250, \"transparent\"",
                         "text opaque : center text 320, 320, \"centred on 320\"",
                         "set text size -20 : text style normal : text 0, 380, \"character height 20\"",
                         "set text font \"system\" : set text size 10 : text 0, 420, \"system 10 text font\"",
                         "refresh", "end"}),
         ""},
        {"input", kInputProgram, kInputScript},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome first = runProgram(c.program, c.script, 60);
        ASSERT_EQ(first.result.errorCode, 0) << first.result.message;
        ASSERT_EQ(first.lastFrame.size(), size_t(platform::kScreenWidth) * platform::kScreenHeight);
        EXPECT_EQ(runProgram(c.program, c.script, 60).lastFrame, first.lastFrame) << "not the same from run to run";
        testing::expectGoldenPicture(
            testing::opaquePicture(first.lastFrame, platform::kScreenWidth, platform::kScreenHeight),
            std::string("text_") + c.name + ".png");
    }
}

} // namespace
} // namespace display
