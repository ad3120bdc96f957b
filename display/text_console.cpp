#include "display/text_console.h"

#include "display/text_engine.h"

namespace display {
namespace {
constexpr size_t kMarksKept = 256;
}

void ScreenConsole::remember(Mark mark) const {
    if (marks_.size() >= kMarksKept)
        marks_.erase(marks_.begin());
    marks_.push_back(std::move(mark));
}

const ScreenConsole::Mark* ScreenConsole::find(int screenX, bool printedOnly) const {
    for (auto it = marks_.rbegin(); it != marks_.rend(); ++it)
        if (it->screenX == screenX && it->screenY == text_.cursorY && (!printedOnly || !it->shown.empty()))
            return &*it;
    return nullptr;
}

int ScreenConsole::cursorX() const {
    remember({text_.cursorX, text_.cursorY, inner_ ? inner_->cursorX() : 0, {}});
    return text_.cursorX;
}

void ScreenConsole::setCursorX(int x) {
    if (inner_) {
        if (const Mark* mark = find(x, false))
            inner_->setCursorX(mark->innerX);
    }
    text_.cursorX = x;
}

void ScreenConsole::print(const std::string& text, bool stayOnLine, bool opaque, bool wrap) {
    remember({text_.cursorX, text_.cursorY, inner_ ? inner_->cursorX() : 0, text});
    if (inner_)
        inner_->print(text, stayOnLine, opaque, wrap);
    printOnScreen(machine_, text, stayOnLine, opaque, wrap);
    if (!stayOnLine)
        marks_.clear();
}

void ScreenConsole::erase(int startX, int length) {
    const Mark* mark = find(startX, true);
    if (!mark)
        return;
    if (length > 0)
        eraseOnScreen(machine_, mark->shown.substr(0, size_t(length)), startX, text_.cursorY);
    if (inner_)
        inner_->erase(mark->innerX, length);
}

} // namespace display
