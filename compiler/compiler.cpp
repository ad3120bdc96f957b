// The compile driver: prepare the source, declare the functions, compile line by line, check the
// end, write the image.
#include "compiler/compiler.h"

#include "compiler/compiler_core.h"
#include "compiler/image_writer.h"
#include "compiler/paths.h"
#include "compiler/source_preparation.h"
#include "platform/files.h"

#include <algorithm>
#include <memory>

namespace compiler {

namespace {

struct Environment {
    Vocabulary vocabulary;
    LanguageFile language;
};

// The vocabulary and the language texts of an installation, read once per folder.
const Environment& environmentFor(const std::string& installFolder) {
    static std::string cachedFolder;
    static std::unique_ptr<Environment> cached;
    if (!cached || cachedFolder != installFolder) {
        auto environment = std::make_unique<Environment>();
        environment->vocabulary = Vocabulary::load(installFolder);
        environment->language =
            installFolder.empty() ? LanguageFile::builtIn() : LanguageFile::chosenIn(installFolder);
        cached = std::move(environment);
        cachedFolder = installFolder;
    }
    return *cached;
}

// Only lines that begin with "function" or "endfunction" (any case) take part in the declarations.
bool mayDeclare(std::string_view line) {
    size_t p = 0;
    while (p < line.size() && static_cast<unsigned char>(line[p]) <= 32) ++p;
    static constexpr std::string_view kFunction = "function", kEnd = "endfunction";
    auto startsWith = [&](std::string_view word) {
        if (line.size() - p < word.size()) return false;
        for (size_t i = 0; i < word.size(); ++i)
            if ((line[p + i] | 0x20) != word[i]) return false;
        return true;
    };
    return startsWith(kFunction) || startsWith(kEnd);
}

CompileResult failure(const std::string& file, int line, std::string message) {
    CompileResult result;
    result.file = file;
    result.line = line;
    result.message = std::move(message);
    return result;
}

}  // namespace

CompileResult compileSource(std::string_view sourceText, const std::string& sourcePath, const CompileOptions& options) {
    const Environment& environment = environmentFor(options.installFolder);
    return compileWith(sourceText, sourcePath, environment.vocabulary, environment.language, options.progress);
}

namespace {

// Where a compile's image goes: into the result, to a file, or both.
struct ImageOutput {
    bool keepImage = true;
    const std::string* path = nullptr;
};

CompileResult compilePrepared(PreparedSource source, const std::string& sourcePath, const Vocabulary& vocabulary,
                              const LanguageFile& language, const std::function<void(int)>& progress,
                              std::unique_ptr<Compiler>* keep, ImageOutput output = {});

}  // namespace

CompileResult compileWith(std::string_view sourceText, const std::string& sourcePath, const Vocabulary& vocabulary,
                          const LanguageFile& language, const std::function<void(int)>& progress,
                          std::unique_ptr<Compiler>* keep) {
    return compilePrepared(prepareSource(sourceText, folderOf(sourcePath)), sourcePath, vocabulary, language,
                           progress, keep);
}

namespace {

CompileResult compilePrepared(PreparedSource source, const std::string& sourcePath, const Vocabulary& vocabulary,
                              const LanguageFile& language, const std::function<void(int)>& progress,
                              std::unique_ptr<Compiler>* keep, ImageOutput output) {
    Compiler compiler(vocabulary, language);
    compiler.reserveFor(source.text.size(), source.lines.size());
    if (source.errorKey) {
        int line = source.attributedLine(source.errorLine);
        return failure(sourcePath, line, compiler.message(source.errorKey));
    }

    // An error on a line of an included file is reported at the main program's #include line.
    auto report = [&](int line) {
        if (line <= source.mainLineCount)
            return failure(sourcePath, line, compiler.error().empty() ? compiler.message(29) : compiler.error());
        std::string message = compiler.error().empty()
                                  ? compiler.message(44)
                                  : compiler.error() + " " + compiler.message(45) + " " +
                                        trimmed(foldCase(source.lineText(line)));
        return failure(sourcePath, source.attributedLine(line), message);
    };

    // Declaration pass: every function is known before the first line is compiled, and included
    // files contribute only their functions.
    bool insideFunction = false;
    for (size_t i = 0; i < source.lines.size(); ++i) {
        int line = static_cast<int>(i) + 1;
        const SourceLine& text = source.lines[i];
        compiler.setLine(line);
        bool wasInside = insideFunction;
        if (text.length >= 255) continue;  // reported by the main pass
        if (mayDeclare(std::string_view(source.text).substr(text.start, text.length))) {
            std::string folded = foldCase(std::string_view(source.text).substr(text.start, text.length));
            if (!compiler.declareLine(folded, insideFunction)) return report(line);
        }
        bool functionLine = wasInside || insideFunction;
        if (text.start >= source.mainEnd && !functionLine && text.length > 0) source.text[text.start] = '`';
    }

    const int total = static_cast<int>(source.lines.size());
    int progressReports = 0;
    std::string folded;
    for (int line = 1; line <= total; ++line) {
        const SourceLine& text = source.lines[line - 1];
        compiler.setLine(line);
        if (text.length >= 255) {
            compiler.setError(compiler.message(43), line);
            return report(line);
        }
        std::string_view raw = std::string_view(source.text).substr(text.start, text.length);
        if (needsFolding(raw)) {
            foldCaseInto(raw, folded);
            raw = folded;
        }
        if (!compiler.compileStatement(raw)) return report(line);
        if (progress) {
            int tenths = static_cast<int>(100.0 / total * line) / 10;
            if (tenths > progressReports) {
                progressReports = tenths;
                progress(std::min(100, tenths * 10));
            }
        }
    }
    if (!compiler.finish(total, true)) {
        int line = compiler.errorLine();
        int attributed = source.attributedLine(line);
        std::string message = compiler.error();
        if (attributed != line) {
            // Say where in the main program the included text comes in.
            std::string raw = std::to_string(line);
            size_t at = message.rfind(raw);
            if (at != std::string::npos && at + raw.size() == message.size())
                message.replace(at, raw.size(), std::to_string(attributed));
        }
        return failure(sourcePath, attributed, message);
    }

    CompileResult result;
    result.ok = true;
    result.file = sourcePath;
    const CompiledProgram program = keep ? compiler.program() : compiler.takeProgram();
    if (output.keepImage) result.image = buildImage(program);
    if (output.path && !writeImageAtomically(*output.path, program)) {
        result.ok = false;
        result.message = compiler.message(kMsgCannotWriteImage) + " " + *output.path;
        return result;
    }
    if (keep) *keep = std::make_unique<Compiler>(std::move(compiler));
    return result;
}

}  // namespace

namespace {

CompileResult compileFileInto(const std::string& sourcePath, const CompileOptions& options, ImageOutput output) {
    SourceText text;
    size_t length = 0;
    const auto resize = [&text](size_t size, size_t room) {
        text.reserve(room);
        text.resize(size);
        return text.data();
    };
    if (!sourcePath.empty()) {
        if (!platform::readFileThrough(findFileIgnoringCase("", sourcePath), resize, length, kPreparationRoom)) {
            const Environment& environment = environmentFor(options.installFolder);
            Compiler messages(environment.vocabulary, environment.language);
            return failure(sourcePath, 0, messages.message(kMsgCannotReadSource) + " " + sourcePath);
        }
    }
    // The text read is prepared in place rather than copied.
    const Environment& environment = environmentFor(options.installFolder);
    return compilePrepared(prepareSource(std::move(text), folderOf(sourcePath)), sourcePath, environment.vocabulary,
                           environment.language, options.progress, nullptr, output);
}

}  // namespace

CompileResult compileFile(const std::string& sourcePath, const CompileOptions& options) {
    return compileFileInto(sourcePath, options, {});
}

CompileResult compileFileTo(const std::string& sourcePath, const std::string& outputPath, const CompileOptions& options) {
    // The image goes straight from the compiled program to the file.
    return compileFileInto(sourcePath, options, {options.keepImage || outputPath.empty(), outputPath.empty() ? nullptr : &outputPath});
}

}  // namespace compiler
