// A compile that stays open: snippets of statements compiled against the symbols of the program.
#include "compiler/compiler.h"

#include "compiler/compiler_core.h"
#include "compiler/image_writer.h"
#include "compiler/paths.h"
#include "compiler/source_preparation.h"
#include "platform/files.h"

namespace compiler {

bool Compiler::compileSnippet(std::string_view text, int function) {
    if (!code_.empty() && code_.back() == 0) {  // the final word goes behind the snippet's code
        code_.pop_back();
        if (--lines_.back().words == 0) lines_.pop_back();
    }
    error_.clear();
    errorLine_ = 0;
    skipMode_ = false;
    scope_ = function;
    int line = 0;
    std::string folded;
    for (size_t p = 0; p <= text.size();) {
        size_t end = text.find('\n', p);
        if (end == std::string_view::npos) end = text.size();
        std::string_view raw = text.substr(p, end - p);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        p = end + 1;
        setLine(++line);
        if (raw.size() >= 255) return fail(43);
        foldCaseInto(raw, folded);
        if (!compileStatement(folded)) {
            if (error_.empty()) fail(29);
            return false;
        }
        if (end == text.size()) break;
    }
    scope_ = 0;
    return finish(line, false);
}

struct Session::State {
    CompileOptions options;
    Vocabulary vocabulary;
    LanguageFile language;
    std::unique_ptr<Compiler> compiler;  // after the last successful compile, with its snippets
};

Session::Session(CompileOptions options) : state_(std::make_unique<State>()) {
    state_->options = std::move(options);
    state_->vocabulary = Vocabulary::load(state_->options.installFolder);
    const std::string& folder = state_->options.installFolder;
    state_->language = folder.empty() ? LanguageFile::builtIn() : LanguageFile::chosenIn(folder);
}

Session::~Session() = default;

CompileResult Session::compileSource(std::string_view text, const std::string& sourcePath) {
    std::unique_ptr<Compiler> kept;
    CompileResult result =
        compileWith(text, sourcePath, state_->vocabulary, state_->language, state_->options.progress, &kept);
    if (result.ok) state_->compiler = std::move(kept);
    return result;
}

CompileResult Session::compileFile(const std::string& sourcePath) {
    std::string text;
    // A missing file: the file compile gives its message.
    if (!platform::readFile(sourcePath, text)) return compiler::compileFile(sourcePath, state_->options);
    return compileSource(text, sourcePath);
}

CompileResult Session::compileSnippet(std::string_view text, int function) {
    CompileResult result;
    result.file = "";
    if (!state_->compiler) {
        result.message = state_->language.text(LanguageFile::Compiler, 29);
        return result;
    }
    if (function < 0 || function > state_->compiler->functionCount()) function = 0;
    // A failed snippet leaves the program as it was for the next attempt.
    Compiler before(*state_->compiler);
    result.firstWord = state_->compiler->codeSize() - 1;  // where the final word stood
    if (!state_->compiler->compileSnippet(text, function)) {
        result.line = state_->compiler->errorLine();
        result.message = state_->compiler->error();
        state_->compiler = std::make_unique<Compiler>(std::move(before));
        return result;
    }
    result.ok = true;
    result.image = buildImage(state_->compiler->program());
    return result;
}

}  // namespace compiler
