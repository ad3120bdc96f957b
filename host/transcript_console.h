// The console of a run without the text engine: everything printed goes to stdout or to a
// transcript file, line by line.
//
// The print cursor is a character column on the current line. A print writes its text at the
// cursor (over what is there, as on screen) and, unless it stays on the line, ends the line; an
// erase blanks characters. A finished line is written out at once, so the transcript of a program
// that only prints is exactly the bytes it printed, and an input entry appears as it finally stood
// on screen. A file transcript is written to a temporary file and renamed into place when the run
// ends, so an earlier transcript is never left half-overwritten.
#pragma once

#include <cstdio>
#include <string>

#include "vm/machine.h"

namespace host {

class TranscriptConsole final : public vm::Console {
  public:
    TranscriptConsole() = default; // stdout
    ~TranscriptConsole() override;

    // Starts a file transcript; false with a reason when the file cannot be created.
    bool openFile(const std::string &path, std::string &error);
    // Writes the unfinished line and puts the file in place.
    bool finish();

    void print(const std::string &text, bool stayOnLine, bool opaque, bool wrap) override;
    void erase(int startX, int length) override;
    int cursorX() const override { return cursorX_; }
    void setCursorX(int x) override { cursorX_ = x < 0 ? 0 : x; }

  private:
    void emit(const std::string &bytes);
    std::string line_;
    int cursorX_ = 0;
    std::FILE *file_ = nullptr;
    std::string path_;
    bool finished_ = false;
};

} // namespace host
