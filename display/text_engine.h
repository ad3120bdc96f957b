// Text on the display: the print engine that the console statements write through, and the
// text font that the text commands draw with. Both draw through the DrawQueue like all other
// drawing, in the ink and background colours of the drawing state.
//
// Correctness rules:
//  1. The text font's values (name, size, style, opaque) change when their queued items run, so
//     a query in the slice that changed one still sees the old value; fonts are made there too.
//  2. The print cursor moves at once, when the print is queued, by the measured extent of the
//     text in the print font (the font that draws it, so lines never overlap).
//  3. Nothing here raises errors: a target that has gone draws nothing, text is clipped.
#pragma once

#include <memory>
#include <string>

#include "display/font_face.h"

namespace vm {
struct Machine;
}

namespace display {

class Drawing;

// Item kinds of the text family.
enum TextKind {
    kPrintKind = 102,
    kEraseKind = 110,
    kSetFontNameKind = 201,
    kSetFontSizeKind = 202,
    kOpaqueKind = 205,
    kTransparentKind = 206,
    kStyleNormalKind = 207, // to 210: italic, bold, bold italic
    kTextKind = 212,
    kCentredTextKind = 213,
};

inline constexpr const char* kSystemFontName = "system";
inline constexpr int kSystemFontSize = 10;

struct TextState {
    std::string fontName = kSystemFontName;
    int size = kSystemFontSize;
    int style = kStyleNormal;
    bool opaque = false;
    std::shared_ptr<const Font> textFont;
    std::shared_ptr<const Font> printFont;
    int cursorX = 0, cursorY = 0;

    // Makes the text font anew from name, size and style.
    void remakeTextFont();
};

TextState* textOf(const vm::Machine& m);
// Makes the text state for a display that has its drawing state, registers the text item kinds
// and puts the screen console in front of the machine's console.
void attachText(vm::Machine& m, Drawing& drawing);

// The print engine: queues the text at the print cursor and moves the cursor. Without a display
// it does nothing.
void printOnScreen(vm::Machine& m, const std::string& text, bool stayOnLine, bool opaque, bool wrap);
// Draws the text at (x, y) in the background colour on the background colour (input editing).
void eraseOnScreen(vm::Machine& m, const std::string& text, int x, int y);
// Every clear sends the print cursor back to the top-left corner.
void resetPrintCursor(vm::Machine& m);

// The text commands, and the item kinds they and the print engine queue.
void registerTextCommands(vm::Machine& m);
void registerTextKinds();

} // namespace display
