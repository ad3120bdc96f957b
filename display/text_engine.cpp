#include "display/text_engine.h"

#include <algorithm>
#include <climits>
#include <map>
#include <optional>

#include "display/display_device.h"
#include "display/drawing.h"
#include "display/text_console.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr size_t kMaxText = 255;

struct TextHome {
    TextState state;
    std::unique_ptr<ScreenConsole> console;
};

std::map<const vm::Machine*, TextHome*>& registry() {
    static std::map<const vm::Machine*, TextHome*> machines;
    return machines;
}

// The cursor keeps moving down past the bottom (nothing scrolls); it stops short of overflowing.
int advanced(int position, int by) {
    return int(std::clamp<int64_t>(int64_t(position) + by, INT_MIN / 2, INT_MAX / 2));
}

void drawWith(Drawing& d, const DrawItem& item, const Font* font, int x, bool opaque, bool erase) {
    Surface* target = d.targetOf(item);
    if (!target || !font)
        return;
    const uint32_t paper = target->layout.pack(d.background.rgb);
    const uint32_t ink = erase ? paper : target->layout.pack(d.foreground.rgb);
    font->draw(*target, x, item.y, item.text, ink, opaque ? std::optional<uint32_t>(paper) : std::nullopt);
}

void runPrint(Drawing& d, DrawItem& item) {
    if (TextState* t = textOf(d.machine))
        drawWith(d, item, t->printFont.get(), item.x, item.opaque != 0, false);
}

void runErase(Drawing& d, DrawItem& item) {
    if (TextState* t = textOf(d.machine))
        drawWith(d, item, t->printFont.get(), item.x, true, true);
}

void runText(Drawing& d, DrawItem& item) {
    TextState* t = textOf(d.machine);
    if (!t || !t->textFont)
        return;
    int x = item.x;
    if (item.kind == kCentredTextKind)
        x -= t->textFont->measure(item.text).width / 2;
    drawWith(d, item, t->textFont.get(), x, t->opaque, false);
}

void runFontValue(Drawing& d, DrawItem& item) {
    TextState* t = textOf(d.machine);
    if (!t)
        return;
    switch (item.kind) {
    case kSetFontNameKind:
        t->fontName = item.text;
        break;
    case kSetFontSizeKind:
        t->size = item.x;
        break;
    case kOpaqueKind:
        t->opaque = true;
        return;
    case kTransparentKind:
        t->opaque = false;
        return;
    default:
        t->style = item.kind - kStyleNormalKind;
        break;
    }
    t->remakeTextFont();
}

} // namespace

void TextState::remakeTextFont() {
    // When no font can be made the previous one stays: text keeps drawing in something readable.
    if (auto made = Font::make(fontName, size, style))
        textFont = std::move(made);
}

TextState* textOf(const vm::Machine& m) {
    auto it = registry().find(&m);
    return it == registry().end() ? nullptr : &it->second->state;
}

void attachText(vm::Machine& m, Drawing& drawing) {
    auto home = std::shared_ptr<TextHome>(new TextHome, [&m](TextHome* h) {
        auto it = registry().find(&m);
        if (it != registry().end() && it->second == h)
            registry().erase(it);
        delete h;
    });
    TextState& t = home->state;
    t.printFont = Font::make(kSystemFontName, kSystemFontSize, kStyleNormal);
    t.remakeTextFont();
    home->console = std::make_unique<ScreenConsole>(m, t, m.console);
    m.console = home->console.get();
    registry()[&m] = home.get();
    // The text state and the screen console live as long as the display device, which the host
    // keeps until after it has taken its console back from the machine.
    drawing.device.onRelease.push_back([home] {});
}

void printOnScreen(vm::Machine& m, const std::string& text, bool stayOnLine, bool opaque, bool wrap) {
    Drawing* d = drawingOf(m);
    TextState* t = textOf(m);
    if (!d || !t)
        return;
    const std::string shown = text.substr(0, kMaxText);
    DrawItem& item = d->queueItem(kPrintKind);
    item.x = t->cursorX;
    item.y = t->cursorY;
    item.opaque = opaque ? 1 : 0;
    item.text = shown;
    const TextExtent extent = t->printFont ? t->printFont->measure(shown) : TextExtent{0, kDefaultCellHeight};
    if (stayOnLine) {
        t->cursorX = advanced(t->cursorX, extent.width);
    } else {
        t->cursorX = 0;
        t->cursorY = advanced(t->cursorY, extent.height);
    }
    if (wrap && t->cursorX >= d->device.screenWidth) {
        t->cursorX = 0;
        t->cursorY = advanced(t->cursorY, extent.height);
    }
}

void eraseOnScreen(vm::Machine& m, const std::string& text, int x, int y) {
    Drawing* d = drawingOf(m);
    if (!d || !textOf(m))
        return;
    DrawItem& item = d->queueItem(kEraseKind);
    item.x = x;
    item.y = y;
    item.opaque = 1;
    item.text = text.substr(0, kMaxText);
}

void resetPrintCursor(vm::Machine& m) {
    if (TextState* t = textOf(m))
        t->cursorX = t->cursorY = 0;
}

void registerTextKinds() {
    Drawing::registerKind(kPrintKind, &runPrint);
    Drawing::registerKind(kEraseKind, &runErase);
    Drawing::registerKind(kTextKind, &runText);
    Drawing::registerKind(kCentredTextKind, &runText);
    for (int kind : {kSetFontNameKind, kSetFontSizeKind, kOpaqueKind, kTransparentKind})
        Drawing::registerKind(kind, &runFontValue);
    for (int kind = kStyleNormalKind; kind <= kStyleNormalKind + 3; ++kind)
        Drawing::registerKind(kind, &runFontValue);
}

} // namespace display
