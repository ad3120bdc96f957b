// The English runtime error texts against the interpreter's code-to-slot map: every slot an error
// code reaches has a message, no other slot has one, and the texts fit the message box's format.
#include "compiler/language_file.h"
#include "vm/machine.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using compiler::LanguageFile;

const std::string& errorText(int slot) { return LanguageFile::builtIn().text(LanguageFile::Errors, slot); }

TEST(ErrorTexts, EverySlotAnErrorCodeReachesHasAMessageAndNoOtherSlotHasOne) {
    std::set<int> reached;
    for (int code = 0; code <= 10010; ++code)
        if (int slot = vm::errorSlot(code); slot >= 0) reached.insert(slot);
    for (int slot = 0; slot < LanguageFile::kSectionSizes[LanguageFile::Errors]; ++slot) {
        if (reached.count(slot))
            EXPECT_FALSE(errorText(slot).empty()) << "slot " << slot << " is reached by an error code but has no text";
        else
            EXPECT_EQ(errorText(slot), "") << "slot " << slot << " is reached by no error code";
    }
}

TEST(ErrorTexts, MessagesEndWithoutAFullStopBecauseTheMessageBoxAddsOne) {
    for (int slot = 0; slot < LanguageFile::kSectionSizes[LanguageFile::Errors]; ++slot) {
        const std::string& text = errorText(slot);
        if (!text.empty()) EXPECT_NE(text.back(), '.') << "slot " << slot << ": " << text;
    }
}

TEST(ErrorTexts, MessagesSayWhatTheFamilyMeans) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {102, "Array index out of bounds"},
        {111, "Division by zero"},
        {1001, "Bitmap number must be from 0 to 31"},
        {3008, "Could not save the sound"},
        {7009, "Matrix number is already in use"},
        {7010, "Matrix number must be from 1 to 65535"},
        {8213, "File slot number must be from 1 to 32"},
        {10002, "Could not create the main window"},
    };
    for (const Case& c : cases) EXPECT_EQ(errorText(vm::errorSlot(c.code)), c.text) << "code " << c.code;
}

}  // namespace
