// Any source text gives an image or a numbered message with a line, quickly, never a crash or hang.
#include "compile_helpers.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

namespace compiler::testing {
namespace {

// A failed compile names a line of the text and carries one of the COMPILER messages.
void expectCleanOutcome(const std::string& source, const char* what) {
    CompileResult result = compileText(source);
    if (result.ok) return;
    EXPECT_NE(errorOf(source).substr(0, 2), "-1") << what << ": " << result.message;
    EXPECT_GE(result.line, 1) << what;
    EXPECT_EQ(result.file, "test.qxa");
}

std::string lines(const std::string& line, int count) {
    std::string out;
    out.reserve((line.size() + 1) * count);
    for (int i = 0; i < count; ++i) out += line + "\n";
    return out;
}

TEST(BadInput, HostileSourcesGiveMessagesNotCrashes) {
    std::mt19937 random(7);
    std::string garbage(1 << 16, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    std::string manyLabels;
    for (int i = 0; i < 10000; ++i) manyLabels += "l" + std::to_string(i) + ":\ngoto l" + std::to_string(i) + "\n";
    struct Case {
        const char* what;
        std::string source;
        const char* expected;  // "key@line", or nullptr when any clean outcome will do
    } cases[] = {
        {"binary garbage", garbage, nullptr},
        {"100 MB line", std::string(100u << 20, 'a'), "41@1"},
        {"unterminated string", "print \"abc\nprint 1", "22@1"},
        {"unterminated string in call", "print len(\"ab)", "23@1"},
        {"10000 labels", manyLabels, "33@4002"},
        {"1000 nested ifs", lines("if 1", 1000) + lines("endif", 1000), "ok"},
        {"1000 nested loops", lines("do", 1000) + lines("loop", 1000), "ok"},
        {"1000 unclosed loops", lines("do", 1000), "50@1002"},
        {"255-character identifier", std::string(240, 'v') + "=1", "ok"},
        {"deep parentheses", "a=" + std::string(120, '(') + "1" + std::string(120, ')'), "ok"},
        {"long expression", "a=" + [] {
             std::string e = "1";
             for (int i = 0; i < 120; ++i) e += "+1";
             return e;
         }(), "ok"},
        {"nested one-line ifs", [] {
             std::string s;
             for (int i = 0; i < 20; ++i) s += "if 1 then ";
             return s + "print 1";
         }(), "ok"},
        {"colons only", ":::::::", "29@1"},
        {"quotes only", "\"\"\"\"\"", "29@1"},
        {"zero bytes", std::string("print 1\0print 2\nprint 3", 23), "ok"},
        {"lone carriage returns", "print 1\rprint 2\r", nullptr},
    };
    for (const Case& c : cases) {
        auto start = std::chrono::steady_clock::now();
        if (c.expected) {
            EXPECT_EQ(errorOf(c.source), c.expected) << c.what;
        } else {
            expectCleanOutcome(c.source, c.what);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << c.what;
    }
}

TEST(BadInput, MutatedProgramsCompileOrFailCleanly) {
    // Deterministic mutations of a program that uses every statement shape, for a bounded time.
    const std::string seed =
        "dim a(10)\nfor i=1 to 10 step 2\na(i)=i*2+1\nnext i\nwhile x<3\ninc x\nif x=2 then exit\nendwhile\n"
        "repeat : x=x-1 : until x<=0\ndo\nexit\nloop\nselect x\ncase 1,2\nprint \"a;b\";x\nendcase\n"
        "case default\nendcase\nendselect\nrestore here\nread q,r$\nhere:\ndata 1,\"two\",3.5\n"
        "gosub sub\nprint f(2, \"x\"), sqrt(2.0)\nend\nsub:\nreturn\nfunction f(n, s$)\nt$=s$+str$(n)\n"
        "endfunction n*2\nremstart\n((\nremend\n";
    const std::string alphabet = "()\":;,=+-*/^<>!&|#$`.0123456789abcdefghijklmnopqrstuvwxyz \n\t\r?@[]{}\\\x01\xff";
    std::mt19937 random(20261211);
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int rounds = 0;
    while (std::chrono::steady_clock::now() < until) {
        std::string source = seed;
        int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            size_t at = random() % (source.size() + 1);
            switch (random() % 4) {
                case 0: source.insert(at, 1, alphabet[random() % alphabet.size()]); break;
                case 1: if (at < source.size()) source.erase(at, 1 + random() % 6); break;
                case 2: if (at < source.size()) source[at] = alphabet[random() % alphabet.size()]; break;
                case 3: source.insert(at, source.substr(random() % source.size(), random() % 40)); break;
            }
        }
        CompileResult result = compileText(source);
        if (!result.ok) {
            ASSERT_FALSE(result.message.empty()) << "[" << source << "]";
            ASSERT_GE(result.line, 1) << source;
        }
        ++rounds;
    }
    EXPECT_GT(rounds, 0);
}

}  // namespace
}  // namespace compiler::testing
