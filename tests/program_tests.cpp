// Runs every program of tests/programs/<area>/*.qxa and checks what its remarks expect:
//   rem expect: <text>                      the next line of the console transcript
//   rem expect compile error <key> line <n> the compile fails with that COMPILER message at line n
//   rem expect runtime error <code> line <n> the run stops with that error raised at line n
//   rem input: <text>                       typed (then Enter) when the program asks for input
// The examples/ folder is run as well: each example must compile and run to its end.
#include "compiler/compiler.h"
#include "compiler/compiler_core.h"
#include "vm/machine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The console as plain text: prints overwrite the current line from the cursor on.
class TranscriptConsole : public vm::Console {
public:
    std::vector<std::string> lines;
    std::string current;
    int x = 0;

    void print(const std::string& text, bool stayOnLine, bool, bool) override {
        if (static_cast<int>(current.size()) < x) current.resize(x, ' ');
        current.replace(x, std::min(text.size(), current.size() - x), text);
        x += static_cast<int>(text.size());
        if (!stayOnLine) {
            lines.push_back(rtrim(current));
            current.clear();
            x = 0;
        }
    }
    void erase(int startX, int length) override {
        for (int i = startX; i < startX + length && i < static_cast<int>(current.size()); ++i) current[i] = ' ';
    }
    int cursorX() const override { return x; }
    void setCursorX(int newX) override { x = newX; }
    std::vector<std::string> all() const {
        std::vector<std::string> out = lines;
        if (!rtrim(current).empty()) out.push_back(rtrim(current));
        return out;
    }
    static std::string rtrim(std::string s) {
        while (!s.empty() && s.back() == ' ') s.pop_back();
        return s;
    }
};

struct Expectations {
    std::vector<std::string> transcript;
    std::deque<int> keys;
    int compileError = 0, compileLine = 0;
    int runtimeError = 0, runtimeLine = 0;
    bool checkTranscript = false;
};

Expectations readExpectations(const std::string& text) {
    Expectations e;
    std::istringstream in(text);
    std::regex compileError(R"(rem expect compile error (\d+) line (\d+))", std::regex::icase);
    std::regex runtimeError(R"(rem expect runtime error (\d+) line (\d+))", std::regex::icase);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) continue;
        line = line.substr(start);
        std::smatch m;
        if (line.rfind("rem expect:", 0) == 0) {
            std::string expected = line.substr(11);
            if (!expected.empty() && expected[0] == ' ') expected.erase(0, 1);
            e.transcript.push_back(TranscriptConsole::rtrim(expected));
            e.checkTranscript = true;
        } else if (line.rfind("rem input:", 0) == 0) {
            std::string typed = line.substr(10);
            if (!typed.empty() && typed[0] == ' ') typed.erase(0, 1);
            for (char c : typed) e.keys.push_back(static_cast<unsigned char>(c));
            e.keys.push_back(13);
        } else if (std::regex_search(line, m, compileError)) {
            e.compileError = std::stoi(m[1]), e.compileLine = std::stoi(m[2]);
        } else if (std::regex_search(line, m, runtimeError)) {
            e.runtimeError = std::stoi(m[1]), e.runtimeLine = std::stoi(m[2]);
        }
    }
    return e;
}

// The COMPILER key whose text begins the message (the longest that does).
int messageKey(const std::string& message) {
    int best = -1;
    size_t bestLength = 0;
    for (int key = 0; key < 60; ++key) {
        const std::string& text = compiler::LanguageFile::builtIn().text(compiler::LanguageFile::Compiler, key);
        if (!text.empty() && message.rfind(text, 0) == 0 && text.size() > bestLength) best = key, bestLength = text.size();
    }
    return best;
}

struct RunOutcome {
    std::vector<std::string> transcript;
    int errorCode = 0, errorLine = 0;
    bool ended = false;
};

RunOutcome run(const std::vector<uint8_t>& image, std::deque<int> keys) {
    RunOutcome outcome;
    auto machine = vm::createMachine();
    std::string why;
    EXPECT_TRUE(vm::loadImage(*machine, image.data(), image.size(), &why)) << why;
    TranscriptConsole console;
    machine->console = &console;
    vm::resetForRun(*machine);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (long slice = 0; slice < 5'000'000 && !machine->quitPosted; ++slice) {
        if (machine->lastKey == 0 && !keys.empty()) {
            machine->lastKey = keys.front();
            keys.pop_front();
        }
        vm::runSlice(*machine);
        if ((slice & 1023) == 0 && std::chrono::steady_clock::now() > deadline) break;
    }
    outcome.ended = machine->quitPosted;
    outcome.errorCode = machine->errorCode;
    outcome.errorLine = machine->errorLine;
    outcome.transcript = console.all();
    return outcome;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> programFiles(const fs::path& root) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
        // Files under a lib folder are included by other programs, not run on their own.
        if (it->path().extension() == ".qxa" && it->path().parent_path().filename() != "lib") files.push_back(fs::relative(it->path(), ZV_SOURCE_DIR).string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> allPrograms() {
    std::vector<std::string> files = programFiles(fs::path(ZV_SOURCE_DIR) / "tests" / "programs");
    for (const std::string& example : programFiles(fs::path(ZV_SOURCE_DIR) / "examples")) files.push_back(example);
    return files;
}

class Program : public ::testing::TestWithParam<std::string> {};

TEST_P(Program, RunsAsItsRemarksExpect) {
    fs::path path = fs::path(ZV_SOURCE_DIR) / GetParam();
    std::string source = readFile(path);
    Expectations expected = readExpectations(source);
    compiler::CompileResult compiled = compiler::compileFile(path.string());
    if (expected.compileError) {
        ASSERT_FALSE(compiled.ok) << "the program compiled";
        EXPECT_EQ(messageKey(compiled.message), expected.compileError) << compiled.message;
        EXPECT_EQ(compiled.line, expected.compileLine) << compiled.message;
        return;
    }
    ASSERT_TRUE(compiled.ok) << compiled.file << ":" << compiled.line << ": " << compiled.message;
    // An example that asks for input without a scripted answer is only compiled.
    if (GetParam().rfind("examples", 0) == 0 && expected.keys.empty() && source.find("input") != std::string::npos)
        return;
    RunOutcome outcome = run(compiled.image, expected.keys);
    EXPECT_TRUE(outcome.ended) << "the program did not end";
    if (expected.runtimeError) {
        EXPECT_EQ(outcome.errorCode, expected.runtimeError);
        EXPECT_EQ(outcome.errorLine, expected.runtimeLine);
    } else {
        EXPECT_EQ(outcome.errorCode, 0) << "runtime error at line " << outcome.errorLine;
    }
    if (expected.checkTranscript) {
        EXPECT_EQ(outcome.transcript, expected.transcript);
    }
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Programs, Program, ::testing::ValuesIn(allPrograms()), testName);

}  // namespace
