// Text commands: the print cursor, the font list, the text font's name, size, style and
// background, drawing text at a position or centred on it, and the text queries.
#include <algorithm>

#include "display/drawing.h"
#include "display/font_catalog.h"
#include "display/query_output.h"
#include "display/text_engine.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr size_t kMaxText = 255;
constexpr size_t kMaxFontNames = 255;

int32_t intOperand(vm::Machine& m, int k) { return m.pc[k].cell->i; }
std::string textOperand(vm::Machine& m, int k) {
    std::string s = vm::text(*m.pc[k].cell);
    if (s.size() > kMaxText)
        s.resize(kMaxText);
    return s;
}

// 252 x, y: moves the print cursor at once.
void setCursor(vm::Machine& m) {
    if (TextState* t = textOf(m)) {
        t->cursorX = intOperand(m, 0);
        t->cursorY = intOperand(m, 1);
    }
    m.pc += 2;
}

// 6001: the installed families into the query list, each once.
void listFonts(vm::Machine& m) {
    QueryResult result;
    for (const std::string& family : installedFamilies()) {
        if (result.entries.size() >= kMaxFontNames)
            break;
        result.entries.push_back({{}, family.substr(0, kMaxText)});
    }
    result.valid = !result.entries.empty();
    publishQueryResult(m, std::move(result));
}

// The font values change when their items run. On a flip chain they replay with the screen's
// drawing, so that the second page draws every text in the font it had on the first.
template <int kKind, bool kEndsSlice>
void fontValue(vm::Machine& m) {
    constexpr int operands = (kKind == kSetFontNameKind || kKind == kSetFontSizeKind) ? 1 : 0;
    Drawing* d = drawingOf(m);
    if (d && textOf(m)) {
        DrawItem& item = d->queueItem(kKind);
        if constexpr (kKind == kSetFontNameKind)
            item.text = textOperand(m, 0);
        if constexpr (kKind == kSetFontSizeKind)
            item.x = intOperand(m, 0);
        if (kEndsSlice)
            d->endSliceForDrawing(false);
    }
    m.pc += operands;
}

// 6010, 6011 x, y, text.
template <int kKind>
void drawText(vm::Machine& m) {
    Drawing* d = drawingOf(m);
    if (d && textOf(m)) {
        DrawItem& item = d->queueItem(kKind);
        item.x = intOperand(m, 0);
        item.y = intOperand(m, 1);
        item.text = textOperand(m, 2);
        d->endSliceForDrawing(true);
    }
    m.pc += 3;
}

void fontName(vm::Machine& m) {
    const TextState* t = textOf(m);
    vm::setString(*m.pc[0].cell, t ? t->fontName : std::string());
    m.pc += 1;
}

template <int TextState::*kValue>
void intValue(vm::Machine& m) {
    const TextState* t = textOf(m);
    m.pc[0].cell->i = t ? t->*kValue : 0;
    m.pc += 1;
}

void opaqueValue(vm::Machine& m) {
    const TextState* t = textOf(m);
    m.pc[0].cell->i = t && t->opaque ? 1 : 0;
    m.pc += 1;
}

// 6505, 6506 result, text: measured at once in the text font as it stands now.
template <bool kWidth>
void textExtent(vm::Machine& m) {
    const TextState* t = textOf(m);
    int32_t value = 0;
    if (t && t->textFont) {
        const TextExtent extent = t->textFont->measure(textOperand(m, 1));
        value = kWidth ? extent.width : extent.height;
    }
    m.pc[0].cell->i = value;
    m.pc += 2;
}

constexpr vm::CommandEntry kTextCommands[] = {
    {252, &setCursor, "set the print cursor"},
    {6001, &listFonts, "fill the query list with the installed font families"},
    {6002, &fontValue<kSetFontNameKind, true>, "set the text font by name"},
    {6003, &fontValue<kSetFontSizeKind, true>, "set the text size"},
    {6004, &fontValue<kOpaqueKind, false>, "text on the background colour"},
    {6005, &fontValue<kTransparentKind, false>, "text on a transparent background"},
    {6006, &fontValue<kStyleNormalKind, true>, "text style normal"},
    {6007, &fontValue<kStyleNormalKind + 1, true>, "text style italic"},
    {6008, &fontValue<kStyleNormalKind + 2, true>, "text style bold"},
    {6009, &fontValue<kStyleNormalKind + 3, true>, "text style bold italic"},
    {6010, &drawText<kTextKind>, "draw text with its top-left at a point"},
    {6011, &drawText<kCentredTextKind>, "draw text centred on a point"},
    {6501, &fontName, "text font name"},
    {6502, &intValue<&TextState::size>, "text size"},
    {6503, &opaqueValue, "text background (1 opaque, 0 transparent)"},
    {6504, &intValue<&TextState::style>, "text style (0 normal, 1 italic, 2 bold, 3 bold italic)"},
    {6505, &textExtent<true>, "width of a text in the text font"},
    {6506, &textExtent<false>, "height of a text in the text font"},
};

} // namespace

void registerTextCommands(vm::Machine& m) {
    vm::registerCommands(m, kTextCommands);
    registerTextKinds();
}

} // namespace display
