// Snippets compiled against a finished program: the editor's immediate statements.
#include "compile_helpers.h"

#include <gtest/gtest.h>

namespace compiler::testing {
namespace {

TEST(Session, SnippetsUseTheProgramsSymbolsAndAppendTheirCode) {
    Session session;
    CompileResult program = session.compileSource("a=5\ngosub show\nend\nshow:\nreturn\nfunction f(x)\ny=x*2\nendfunction y\n",
                                                  "p.qxa");
    ASSERT_TRUE(program.ok) << program.message;
    std::string before = codeWords(program.image);

    // a is the main program's 13000; the snippet's code replaces the final word, which follows it.
    CompileResult snippet = session.compileSnippet("print a : gosub show");
    ASSERT_TRUE(snippet.ok) << snippet.message;
    EXPECT_EQ(codeWords(snippet.image), before + " 301 13000 41 37006");
    EXPECT_EQ(snippet.firstWord, static_cast<int>(before.empty() ? 0 : std::count(before.begin(), before.end(), ' ') + 1));

    // In the scope of f, y is f's own variable.
    snippet = session.compileSnippet("print y", 1);
    ASSERT_TRUE(snippet.ok) << snippet.message;
    EXPECT_EQ(codeWords(snippet.image), before + " 301 13000 41 37006 301 13002");
}

TEST(Session, AFailedSnippetChangesNothing) {
    Session session;
    ASSERT_TRUE(session.compileSource("a=1\n", "p.qxa").ok);
    CompileResult failed = session.compileSnippet("b=1\nprint (");
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.line, 2);
    EXPECT_EQ(failed.message, compilerMessage(23));
    // b was never created: the next new variable is 13001 again.
    CompileResult next = session.compileSnippet("c=2");
    ASSERT_TRUE(next.ok) << next.message;
    EXPECT_EQ(codeWords(next.image), "151 13000 19000 213 151 13001 19001");
}

TEST(Session, SnippetBeforeAnyProgramFails) {
    Session session;
    EXPECT_FALSE(session.compileSnippet("print 1").ok);
}

}  // namespace
}  // namespace compiler::testing
