// The query list: filling, the 512-entry limit, clearing, and reading it from programs with the
// display's enumerations (modes: names and values; cards: names only) as fillers.
#include <gtest/gtest.h>

#include "display/host_hookup.h"
#include "host/tests/host_fixture.h"
#include "services/query_list.h"

namespace services {
namespace {

TEST(QueryList, FillsUpTo512EntriesAndClearsEverything) {
    QueryList list;
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(list.filled() || list.hasValues() || list.hasText());
    for (int n : {1, 512}) {
        EXPECT_EQ(list.entry(n).text, "") << "a new list";
        for (int32_t v : list.entry(n).values)
            EXPECT_EQ(v, -1);
    }
    list.begin(true, true);
    for (int i = 0; i < 600; ++i)
        if (!list.add("entry " + std::to_string(i + 1), i + 1, 2, 3, 4))
            break;
    list.setFilled(true);
    EXPECT_EQ(list.count(), 512);
    EXPECT_FALSE(list.add("one more"));
    EXPECT_EQ(list.entry(512).text, "entry 512");
    EXPECT_EQ(list.entry(512).values[0], 512);

    EXPECT_FALSE(list.add(std::string(300, 'x'))); // still full
    list.begin(false, true);
    ASSERT_TRUE(list.add(std::string(300, 'x')));
    EXPECT_EQ(list.entry(1).text.size(), 255u) << "a text holds at most a string value";

    list.clear();
    EXPECT_EQ(list.count(), 0);
    EXPECT_FALSE(list.filled() || list.hasValues() || list.hasText());
    for (int n : {1, 256, 512}) {
        EXPECT_EQ(list.entry(n).text, "");
        for (int32_t v : list.entry(n).values)
            EXPECT_EQ(v, -1);
    }
}

class QueryListProgram : public host::testing::HostTest {
  protected:
    struct Outcome {
        host::RunResult result;
        std::string console;
    };

    // 640x480x16 and `modes` more display modes ((1024 + n)x768x16 each), and two cards.
    Outcome runProgram(const std::string &source, int modes = 2) {
        host::RunOptions options = headless("", 50);
        options.fullScreenByDefault = false;
        host::Host host(paths(), options);
        display::HookupOptions hookup;
        hookup.want3d = false;
        hookup.modes.push_back({640, 480, 16});
        for (int n = 0; n < modes; ++n)
            hookup.modes.push_back({1024 + n, 768, 16});
        hookup.adapters.push_back({"First Card", false, true, true, 64u << 20, 32u << 20, false, false});
        hookup.adapters.push_back({"Second Card", false, true, true, 64u << 20, 32u << 20, false, false});
        display::attachDisplay(host, hookup);
        Outcome out;
        out.result = run(host, compile(source));
        out.console = console();
        return out;
    }
};

TEST_F(QueryListProgram, ReadsEntriesOfEachFiller) {
    Outcome out = runProgram("list display modes\r\n"
                             "print query list count(); \" \"; query list text$(2); \" \"; query list value a(2); \" \"; "
                             "query list value b(2); \" \"; query list value c(2); \" \"; query list value d(2)\r\n"
                             "list display cards\r\n"
                             "print query list count(); \" \"; query list text$(1); \" \"; query list text$(2)\r\n");
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "3 1024x768x16 1024 768 16 0\n2 First Card Second Card\n");
}

TEST_F(QueryListProgram, LongListsStopAt512AndTheLastEntryIsReadable) {
    Outcome out = runProgram("list display modes\r\n"
                             "print query list count(); \" \"; query list text$(512); \" \"; query list value a(512)\r\n",
                             600);
    ASSERT_EQ(out.result.errorCode, 0) << out.result.message;
    EXPECT_EQ(out.console, "512 1534x768x16 1534\n");
}

TEST_F(QueryListProgram, BadReadsGiveTheNumberedErrorInTheirOrder) {
    struct Case {
        const char *lines;
        int error;
    } cases[] = {
        {"a = query list count()", 9005}, // emptied at the program's start
        {"list display modes : empty query list : a = query list count()", 9005},
        {"empty query list : a = query list value a(600)", 9005},
        {"list display modes : a = query list value a(0)", 9001},
        {"list display modes : a$ = query list text$(513)", 9001},
        {"list display cards : a = query list value b(1)", 9004},
        {"list display cards : a = query list value a(9999)", 9001},
        {"list display modes : a = query list value d(4)", 9002},
        {"list display modes : a$ = query list text$(4)", 9002},
        {"list display cards : a$ = query list text$(3)", 9002},
    };
    for (const auto &c : cases) {
        Outcome out = runProgram(std::string(c.lines) + "\r\nprint \"not reached\"\r\n");
        EXPECT_EQ(out.result.errorCode, c.error) << c.lines;
        EXPECT_EQ(out.console, "") << c.lines;
    }
}

} // namespace
} // namespace services
