// Shared helpers of the compiler's unit tests: compile a text, list its code words, check messages.
#pragma once

#include "compiler/compiler.h"
#include "compiler/compiler_core.h"

#include <cstring>
#include <string>
#include <vector>

namespace compiler::testing {

inline const Vocabulary& builtInVocabulary() {
    static const Vocabulary vocabulary = [] {
        Vocabulary v;
        v.parse(Vocabulary::builtInText());
        return v;
    }();
    return vocabulary;
}

inline CompileResult compileText(const std::string& source, const Vocabulary& vocabulary = builtInVocabulary(),
                                 const std::string& path = "test.qxa") {
    return compileWith(source, path, vocabulary, LanguageFile::builtIn());
}

inline const std::string& compilerMessage(int key) { return LanguageFile::builtIn().text(LanguageFile::Compiler, key); }

inline int32_t imageWord(const std::vector<uint8_t>& image, size_t index) {
    int32_t value;
    std::memcpy(&value, image.data() + 4 * index, 4);
    return value;
}

// The code words of an image (the final 0 word left out), separated by blanks.
inline std::string codeWords(const std::vector<uint8_t>& image) {
    size_t start = static_cast<size_t>(imageWord(image, 7));
    size_t count = (image.size() / 4 - start) / 2;
    std::string out;
    for (size_t i = 0; i + 1 < count; ++i) {
        if (!out.empty()) out += ' ';
        out += std::to_string(imageWord(image, start + i));
    }
    return out;
}

inline std::vector<int32_t> lineWords(const std::vector<uint8_t>& image) {
    size_t start = static_cast<size_t>(imageWord(image, 7));
    size_t count = (image.size() / 4 - start) / 2;
    std::vector<int32_t> lines;
    for (size_t i = 0; i < count; ++i) lines.push_back(imageWord(image, start + count + i));
    return lines;
}

// Code words of a source, without the closing `end` (213) and the final word.
inline std::string codeOf(const std::string& source, const Vocabulary& vocabulary = builtInVocabulary()) {
    CompileResult result = compileText(source, vocabulary);
    if (!result.ok) return "error line " + std::to_string(result.line) + ": " + result.message;
    std::string words = codeWords(result.image);
    const std::string end = "213";
    if (words.size() >= end.size() && words.compare(words.size() - end.size(), end.size(), end) == 0)
        words.resize(words.size() >= end.size() + 1 ? words.size() - end.size() - 1 : 0);
    return words;
}

// "key@line" of a failed compile, or "ok"; the key is found by the message's start.
inline std::string errorOf(const std::string& source, const Vocabulary& vocabulary = builtInVocabulary()) {
    CompileResult result = compileText(source, vocabulary);
    if (result.ok) return "ok";
    int best = -1;
    size_t bestLength = 0;
    for (int key = 0; key < 60; ++key) {
        const std::string& text = compilerMessage(key);
        if (!text.empty() && result.message.compare(0, text.size(), text) == 0 && text.size() > bestLength)
            best = key, bestLength = text.size();
    }
    return std::to_string(best) + "@" + std::to_string(result.line);
}

}  // namespace compiler::testing
