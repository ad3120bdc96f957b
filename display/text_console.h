// The console of a run with a display: every print and input edit goes to the screen through the
// print engine and, unchanged, to the console that was there before (the transcript), so a
// headless run keeps its exact transcript while its frames show the same text.
//
// The two keep separate cursors: pixels on screen, character columns in the transcript. The
// machine only ever sets the cursor back to a position it read from this console (the start of an
// input entry), so each position read or printed at is remembered with its transcript column.
#pragma once

#include <string>
#include <vector>

#include "vm/machine.h"

namespace display {

struct TextState;

class ScreenConsole final : public vm::Console {
  public:
    ScreenConsole(vm::Machine& m, TextState& text, vm::Console* inner) : machine_(m), text_(text), inner_(inner) {}

    void print(const std::string& text, bool stayOnLine, bool opaque, bool wrap) override;
    void erase(int startX, int length) override;
    int cursorX() const override;
    void setCursorX(int x) override;

    vm::Console* inner() const { return inner_; }

  private:
    struct Mark {
        int screenX, screenY, innerX;
        std::string shown; // the text printed there ("" when the position was only read)
    };
    const Mark* find(int screenX, bool printedOnly) const;
    void remember(Mark mark) const;

    vm::Machine& machine_;
    TextState& text_;
    vm::Console* inner_;
    mutable std::vector<Mark> marks_; // positions on the current line, the latest last
};

} // namespace display
