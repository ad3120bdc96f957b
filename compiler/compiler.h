// Source text to ProgramImage: the entry points the command line, the editor and the builder use.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace compiler {

struct CompileResult {
    bool ok = false;
    std::vector<uint8_t> image;  // the ProgramImage bytes when ok
    std::string file;            // file the error belongs to (the main source for errors reported there)
    int line = 0;                // 1-based error line, 0 when none
    std::string message;         // the language file's text for the error
    int firstWord = 0;           // a snippet's first code word in the image
};

struct CompileOptions {
    // Folder holding LANG\<language>\WORDS.TXT and an optional vocabulary.txt override; empty = built-in texts.
    std::string installFolder;
    std::function<void(int percent)> progress;  // called at most once per further tenth of the lines
    // compileFileTo only: false leaves result.image empty, and the image is written out without
    // ever being held whole in memory (a long program's image is as large as its code).
    bool keepImage = true;
};

// Compiles a source file (includes resolved against its folder).
CompileResult compileFile(const std::string& sourcePath, const CompileOptions& options = {});

// Compiles a source held in memory; `sourcePath` names it in messages and gives the folder that
// #include names are resolved against.
CompileResult compileSource(std::string_view sourceText, const std::string& sourcePath,
                            const CompileOptions& options = {});

// Compiles and writes the image to outputPath (temporary file then rename; nothing is left on failure).
CompileResult compileFileTo(const std::string& sourcePath, const std::string& outputPath,
                            const CompileOptions& options = {});

// A compile that stays open after it succeeds, so that snippets of statements (the editor's
// immediate statements) can be compiled against the program's variables, labels and functions.
class Session {
public:
    explicit Session(CompileOptions options = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    CompileResult compileFile(const std::string& sourcePath);
    CompileResult compileSource(std::string_view sourceText, const std::string& sourcePath);
    // Compiles statements in the scope of user function `function` (0 = the main program) after the
    // last successful compile; their code is appended before the final word and the whole image is
    // returned, with firstWord on the snippet's first word. A failed snippet changes nothing.
    CompileResult compileSnippet(std::string_view text, int function = 0);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace compiler
