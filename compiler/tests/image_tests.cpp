// The program image layout, the compiler's table limits and the growth of the code streams.
#include "compile_helpers.h"

#include "compiler/image_writer.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace compiler::testing {
namespace {

TEST(ProgramImage, HeaderAndAreasFollowTheLayout) {
    CompileResult result = compileText(
        "a=7\nb#=1.5\nc$=\"\"\nd$=\"abc\"\ndata 5,\"hello\",2.5\nend\nfunction f(p$)\nq=1\nendfunction\n");
    ASSERT_TRUE(result.ok) << result.message;
    const auto& image = result.image;
    EXPECT_EQ(imageWord(image, 0), 1);
    EXPECT_EQ(imageWord(image, 1), 1024);
    EXPECT_EQ(imageWord(image, 2), 1024 + 2);  // 7 and 1
    EXPECT_EQ(imageWord(image, 3), 1024 + 3);  // 1.5
    EXPECT_EQ(imageWord(image, 4), 2);
    // Strings "" (counted as 2 bytes) and "abc" (4): 6 / 4 + 1 = 2 words; the empty one is one zero byte.
    EXPECT_EQ(imageWord(image, 5), imageWord(image, 3) + 2);
    const char* strings = reinterpret_cast<const char*>(image.data()) + 4 * imageWord(image, 3);
    EXPECT_EQ(std::string(strings, 5), std::string("\0abc\0", 5));
    EXPECT_EQ(imageWord(image, 6), 3);
    const char* types = reinterpret_cast<const char*>(image.data()) + 4 * imageWord(image, 5);
    EXPECT_EQ(std::string(types, 4), std::string("lsf\0", 4));
    size_t values = imageWord(image, 5) + 1;
    EXPECT_EQ(imageWord(image, values), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image.data()) + 4 * (values + 1)), "hello");
    float real;
    std::memcpy(&real, image.data() + 4 * (values + 3), 4);  // "hello" + zero = 6 bytes: 2 words
    EXPECT_EQ(real, 2.5f);
    // Owner tables: integers a, q(f); reals b#; strings c$, d$, p$(f).
    EXPECT_EQ(imageWord(image, 8), 2);
    EXPECT_EQ(imageWord(image, 9), 1);
    EXPECT_EQ(imageWord(image, 10), 3);
    EXPECT_EQ(imageWord(image, 11), 3 + 2 + 1 + 3);
    size_t owners = imageWord(image, 7) - imageWord(image, 11);
    EXPECT_EQ(owners, values + 4);
    std::vector<int32_t> expected{2, 0, 1, 1, 0, 3, 0, 0, 1};
    for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(imageWord(image, owners + k), expected[k]) << k;
    // Code and line table have the same length; the last code word is 0.
    size_t codeWordsCount = (image.size() / 4 - imageWord(image, 7)) / 2;
    EXPECT_EQ(imageWord(image, imageWord(image, 7) + codeWordsCount - 1), 0);
}

TEST(ProgramImage, EmptyProgramHasOneTypeMapWordAndEmptyTables) {
    CompileResult result = compileText("");
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(imageWord(result.image, 5), 1024 + 1);  // string area of 0 strings: one word
    EXPECT_EQ(imageWord(result.image, 7) - imageWord(result.image, 5), 1 + 3);
}

std::string lines(const std::string& pattern, int count) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        std::string line = pattern;
        for (size_t p; (p = line.find('%')) != std::string::npos;) line.replace(p, 1, std::to_string(i));
        out += line + "\n";
    }
    return out;
}

TEST(CompilerLimits, TablesReportWhenFull) {
    struct Case {
        std::string source;
        std::string over;
        const char* expected;
    } cases[] = {
        {lines("v%=0", 2000), lines("v%=0", 2001), "1@2001"},
        {lines("v%#=0.0", 2000), lines("r%#=0.0", 2001), "2@2001"},
        {lines("s%$=\"\"", 2000), lines("s%$=\"\"", 2001), "3@2001"},
        {lines("a=%", 2000), lines("a=%", 2001), "18@2001"},
        {lines("a#=%.5", 2000), lines("a#=%.5", 2001), "19@2001"},
        {lines("a$=\"%\"", 2000), lines("a$=\"%\"", 2001), "21@2001"},
        {lines("data 1,2,3", 3333), lines("data 1,2,3", 3334), "35@3334"},
        {lines("goto l%", 2000) + lines("l%:", 2000), lines("goto l%", 2001), "33@2001"},
        {lines("if 1", 1023) + lines("endif", 1023), lines("if 1", 1024), "34@1024"},
        {lines("function f%()\nendfunction", 1023), lines("function f%()\nendfunction", 1024), "5@2047"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorOf(c.source), "ok") << c.source.substr(0, 40);
        EXPECT_EQ(errorOf(c.over), c.expected) << c.over.substr(0, 40);
    }
}

TEST(ProgramImage, PinnedProgramKeepsItsImage) {
    // A program with one of each statement shape the compiler rewrites: one-line if with else, for
    // with step, select, while, repeat, dim, data and read, number and text functions, element
    // stores, grouped, word and two-letter operators, a label. Its whole image (tables, code, line
    // numbers) is pinned: compiled programs must not change unless the code generation is meant to.
    const std::string source =
        "rem The pinned program: one of each statement shape the compiler rewrites\n"
        "dim a(10): dim n$(3)\n"
        "data 1, -2.5, \"three\"\n"
        "total = 0\n"
        "for i = 1 to 9 step 2: a(i) = twice(i) + i: total = total + a(i): next i\n"
        "if total > 20 then print \"big\" else print \"small\"\n"
        "read k, r#, t$\n"
        "select k\n"
        "case 1,2: print t$;: endcase\n"
        "case default: print r# * 1.5: endcase\n"
        "endselect\n"
        "while total > 0: total = total - 7: endwhile\n"
        "repeat: k = k + 1: until k >= 3\n"
        "n$(1) = greet$(\"you\") + str$(k)\n"
        "x# = (k + 2) * (total - 1) / 3.0 ^ 2\n"
        "if n$(1) <> \"\" and x# >= 0 or k = 3 then goto done\n"
        "print \"never\"\n"
        "done:\n"
        "print n$(1), x#\n"
        "end\n"
        "function twice(x)\n"
        "endfunction x*2\n"
        "function greet$(n$)\n"
        "  g$ = \"hi \" + n$\n"
        "endfunction g$\n";
    CompileResult result = compileText(source);
    ASSERT_TRUE(result.ok) << result.message;
    uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a over the image's bytes
    for (uint8_t byte : result.image) hash = (hash ^ byte) * 0x100000001b3ull;
    EXPECT_EQ(result.image.size(), 6124u);
    EXPECT_EQ(hash, 0x0ae9af12563c0c76ull) << "code: " << codeWords(result.image);
}

TEST(CompilerLimits, LargeProgramsGrowTheCodeStreams) {
    // Far beyond the 65536 words a compile starts with.
    CompileResult result = compileText(lines("a=a+b*2-1", 20000));
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_GT((result.image.size() / 4 - imageWord(result.image, 7)) / 2, 65536u * 2);
}

TEST(ProgramImage, AtomicWriteReplacesTheFileWhole) {
    std::string path = (std::filesystem::temp_directory_path() / "zv_atomic_write.img").string();
    std::vector<uint8_t> big(100000, 7), small{1, 2, 3};
    ASSERT_TRUE(writeFileAtomically(path, big));
    ASSERT_TRUE(writeFileAtomically(path, small));
    EXPECT_EQ(std::filesystem::file_size(path), 3u);
    std::filesystem::remove(path);
    EXPECT_FALSE(writeFileAtomically("/nonexistent-folder/x.img", small));
}

}  // namespace
}  // namespace compiler::testing
