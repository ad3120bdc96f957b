// The vocabulary the program was built with, and the choice between it and an installed file.
#include "compiler/paths.h"
#include "compiler/vocabulary.h"
#include "platform/files.h"

extern const char zv_vocabulary_text[];
extern const unsigned long zv_vocabulary_text_size;

namespace compiler {

std::string_view Vocabulary::builtInText() { return {zv_vocabulary_text, zv_vocabulary_text_size}; }

Vocabulary Vocabulary::builtIn() {
    Vocabulary vocabulary;
    vocabulary.tables_ = kBuiltInVocabularyTables;
    vocabulary.noteShapes();
    return vocabulary;
}

Vocabulary Vocabulary::load(const std::string& folder) {
    if (!folder.empty()) {
        std::string text;
        if (platform::readFile(findFileIgnoringCase(folder, "vocabulary.txt"), text)) {
            Vocabulary vocabulary;
            vocabulary.parse(text);
            return vocabulary;
        }
    }
    return builtIn();
}

}  // namespace compiler
