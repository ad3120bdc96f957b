// Source preparation: includes, line ends, case, the closing end, and file compiles.
#include "compile_helpers.h"

#include "compiler/paths.h"
#include "compiler/source_preparation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace compiler::testing {
namespace {

namespace fs = std::filesystem;

class SourceFiles : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("zv_compiler_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                               "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string write(const std::string& name, const std::string& text) {
        fs::path path = folder_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }
    CompileResult compile(const std::string& name) {
        return compileWith(readFile(folder_ / name), (folder_ / name).string(), builtInVocabulary(),
                           LanguageFile::builtIn());
    }
    static std::string readFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    fs::path folder_;
};

TEST_F(SourceFiles, NamesInAnyCaseFollowTheFolderAsItChanges) {
    // Listings are remembered between look-ups; a file added since must still be found, both in a
    // folder changed long ago and in one changed a moment ago (within the file system's clock tick).
    const std::string folder = folder_.string();
    write("Data.TXT", "x");
    fs::last_write_time(folder_, fs::file_time_type::clock::now() - std::chrono::seconds(30));
    EXPECT_EQ(fs::path(findFileIgnoringCase(folder, "data.txt")).filename(), "Data.TXT");
    EXPECT_EQ(fs::path(findFileIgnoringCase(folder, "other.inc")).filename(), "other.inc");  // absent: the plain name
    write("OTHER.inc", "y");
    EXPECT_EQ(fs::path(findFileIgnoringCase(folder, "other.inc")).filename(), "OTHER.inc");
    write("Third.INC", "z");
    EXPECT_EQ(fs::path(findFileIgnoringCase(folder, "third.inc")).filename(), "Third.INC");
    fs::remove(folder_ / "OTHER.inc");
    EXPECT_EQ(fs::path(findFileIgnoringCase(folder, "other.inc")).filename(), "other.inc");
}

TEST_F(SourceFiles, IncludedFileAppendsOnceAndContributesOnlyItsFunctions) {
    write("lib.qxa", "print 99\r\nfunction twice(x)\r\nendfunction x*2\r\n");
    write("main.qxa",
          "#include lib.qxa\r\n#include \"LIB.QXA\"\r\nprint twice(4)\r\n");
    CompileResult result = compile("main.qxa");
    ASSERT_TRUE(result.ok) << result.message;
    // print 99 of the included file is disabled; the function is compiled once, after the main program.
    EXPECT_EQ(codeWords(result.image), "21 37009 10000 19000 19001 301 10000 213 26 13000 1 71 10050 13000 19002 23 10050");
    // Words of the included function carry line numbers beyond the main program's last line (5).
    std::vector<int32_t> lines = lineWords(result.image);
    EXPECT_GT(lines[lines.size() - 2], 5);
}

TEST_F(SourceFiles, ByteOrderMarksAreNotProgramText) {
    const std::string mark = "\xEF\xBB\xBF";
    write("lib.qxa", mark + "function twice(x)\r\nendfunction x*2\r\n");
    write("main.qxa", mark + "#include lib.qxa\r\nprint twice(4)\r\n");
    write("plain.qxa", "#include lib.qxa\r\nprint twice(4)\r\n");
    CompileResult marked = compile("main.qxa"), plain = compile("plain.qxa");
    ASSERT_TRUE(marked.ok) << marked.message;
    ASSERT_TRUE(plain.ok) << plain.message;
    EXPECT_EQ(codeWords(marked.image), codeWords(plain.image));
}

TEST_F(SourceFiles, IncludeLoopsAndNestedIncludesTerminate) {
    write("a.qxa", "#include b.qxa\r\nfunction fa()\r\nendfunction 1\r\n");
    write("b.qxa", "#include a.qxa\r\nfunction fb()\r\nendfunction 2\r\n");
    write("main.qxa", "#include a.qxa\r\nprint fa()+fb()\r\n");
    CompileResult result = compile("main.qxa");
    EXPECT_TRUE(result.ok) << result.message;
}

TEST_F(SourceFiles, IncludeNamesWithBackslashesAndOtherCaseAreFound) {
    write("Sub/Lib.qxa", "function one()\r\nendfunction 1\r\n");
    write("main.qxa", "#include sub\\LIB.QXA\r\nprint one()\r\n");
    CompileResult result = compile("main.qxa");
    EXPECT_TRUE(result.ok) << result.message;
}

TEST_F(SourceFiles, MissingIncludeIsNoError) {
    write("main.qxa", "#include nothere.qxa\r\nprint 1\r\n");
    EXPECT_TRUE(compile("main.qxa").ok);
}

TEST_F(SourceFiles, ErrorInIncludedFunctionIsReportedAtTheIncludeLine) {
    write("lib.qxa", "function bad()\r\nx = (1\r\nendfunction\r\n");
    write("main.qxa", "print 1\r\n#include lib.qxa\r\nprint 2\r\n");
    CompileResult result = compile("main.qxa");
    ASSERT_FALSE(result.ok);
    EXPECT_EQ(result.line, 2);
    EXPECT_EQ(result.message, compilerMessage(23) + " " + compilerMessage(45) + " x = (1");
}

TEST_F(SourceFiles, CompileFileToWritesAtomicallyAndKeepsOldImageOnError) {
    std::string source = write("main.qxa", "print 1\r\n");
    std::string output = (folder_ / "main.img").string();
    CompileResult result = compileFileTo(source, output);
    ASSERT_TRUE(result.ok) << result.message;
    EXPECT_EQ(readFile(output), std::string(result.image.begin(), result.image.end()));
    write("main.qxa", "print (\r\n");
    result = compileFileTo(source, output);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.line, 1);
    EXPECT_EQ(readFile(output).size(), std::string(compileFile(write("ok.qxa", "print 1\r\n")).image.size(), 'x').size());
    for (const auto& entry : fs::directory_iterator(folder_))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
}

TEST_F(SourceFiles, ImageWrittenStraightToTheFileIsTheImageInMemory) {
    // Without keepImage the image goes to the file in pieces; long enough that the code and the
    // line words both fill the writer's buffer several times, with every table present.
    std::string text = "dim a$(3)\ndata 1, \"x\", 2.5\nfunction f#(x#)\nendfunction x# * 2\n";
    for (int i = 0; i < 3000; ++i) text += "a = a + b * " + std::to_string(i % 1000) + " - 1: a$(1) = str$(f#(1.5))\n";
    std::string source = write("long.qxa", text);
    CompileResult inMemory = compileFile(source);
    ASSERT_TRUE(inMemory.ok) << inMemory.message;
    CompileOptions options;
    options.keepImage = false;
    std::string output = (folder_ / "long.img").string();
    CompileResult written = compileFileTo(source, output, options);
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_TRUE(written.image.empty());
    EXPECT_EQ(readFile(output), std::string(inMemory.image.begin(), inMemory.image.end()));
}

TEST_F(SourceFiles, MissingSourceGivesAMessage) {
    CompileResult result = compileFile((folder_ / "none.qxa").string());
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find("none.qxa"), std::string::npos);
}

TEST(SourceText, LineEndsAndTheClosingEnd) {
    // Without a final line break, with LF only, and an empty file.
    EXPECT_EQ(codeOf("print 1"), "301 19000");
    EXPECT_EQ(codeOf("print 1\nprint 2\n"), codeOf("print 1\r\nprint 2\r\n"));
    CompileResult empty = compileText("");
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(codeWords(empty.image), "213");
}

TEST(SourceText, CapitalsAreFoundWhereverTheyStand) {
    // Lines without a capital are compiled as they stand, so a capital must never be missed: in the
    // blocks of eight and in the tail, next to the characters around A..Z, and beside bytes with the
    // top bit set (which are not capitals, and must not disturb their neighbours).
    const struct {
        std::string line;
        bool capital;
    } cases[] = {
        {"", false},
        {"print a$+\"x\"", false},
        {"abcdefgh", false},
        {"abcdefgZ", true},
        {"Abcdefgh", true},
        {"abcdefghijklmnoP", true},
        {"abcdefghM", true},
        {"@[`{@[`{@[`{", false},
        {"\xC1\xDA\x80\xFF\xC1\xDA\x80\xFF" "z", false},
        {"\xFF\xFF\xFF\xFF" "Q" "\xFF\xFF\xFF", true},
        {"\x7F\x7F\x7F\x7F\x7F\x7F\x7F" "A", true},
    };
    for (const auto& c : cases) EXPECT_EQ(needsFolding(c.line), c.capital) << c.line;
    EXPECT_EQ(codeOf("PRINT A+1"), codeOf("print a+1"));
}

TEST(SourceText, ProgressIsReportedInTenths) {
    std::string source;
    for (int i = 0; i < 100; ++i) source += "print 1\n";
    std::vector<int> reports;
    CompileResult result = compileWith(source, "p.qxa", builtInVocabulary(), LanguageFile::builtIn(),
                                       [&](int percent) { reports.push_back(percent); });
    ASSERT_TRUE(result.ok);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), 100);
    for (size_t i = 1; i < reports.size(); ++i) EXPECT_GT(reports[i], reports[i - 1]);
    EXPECT_LE(reports.size(), 10u);
}

}  // namespace
}  // namespace compiler::testing

namespace compiler::testing {
namespace {

TEST(InstallFolder, LanguageFileAndVocabularyBesideTheExecutableAreUsed) {
    namespace fs = std::filesystem;
    fs::path root = fs::temp_directory_path() / "zv_install_folder";
    fs::remove_all(root);
    fs::create_directories(root / "LANG" / "ENGLISH");
    std::ofstream(root / "LANG" / "ENGLISH" / "WORDS.TXT") << "[COMPILER]\r\n29=Not understood\r\n";
    std::ofstream(root / "Vocabulary.txt") << "shout%303%s\r\nend%213%0\r\n";
    std::ofstream(root / "p.qxa") << "shout \"hi\"\r\nprint 1\r\n";
    CompileOptions options;
    options.installFolder = root.string();
    CompileResult result = compileFile((root / "p.qxa").string(), options);
    ASSERT_FALSE(result.ok);  // print is not in this vocabulary
    EXPECT_EQ(result.line, 2);
    EXPECT_EQ(result.message, "Not understood");
    // A key the installation's file lacks falls back to the built-in English text.
    std::ofstream(root / "p.qxa") << "shout 1\r\n";
    result = compileFile((root / "p.qxa").string(), options);
    EXPECT_EQ(result.message.rfind(compilerMessage(37), 0), 0u) << result.message;
    fs::remove_all(root);
}

}  // namespace
}  // namespace compiler::testing
