// What a back-end supplies to the platform session: the raw clock, raw events, presentation,
// clipboard and message boxes. The session (session.h) builds the system's Platform on top of it,
// adding the key state array, the mouse state, the quit flag, recording and replay.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace platform {

class Backend {
  public:
    virtual ~Backend() = default;
    virtual std::string name() const = 0;
    virtual bool headless() const = 0;

    // Microseconds since the back-end started.
    virtual uint64_t clockMicros() = 0;
    virtual void addInstructions(uint64_t count) = 0;
    virtual void waitUntilMicros(uint64_t deadline) = 0;

    // The next raw event; `framesPresented` lets a script schedule events by frame.
    virtual bool nextEvent(Event &event, uint64_t framesPresented) = 0;

    // `frameNumber` counts from 1.
    virtual void present(const uint32_t *pixels, uint64_t frameNumber) = 0;
    virtual bool showsFrames() const { return true; }

    virtual bool setClipboardText(const std::string &text) = 0;
    virtual std::string clipboardText() = 0;
    virtual bool messageBox(const std::string &caption, const std::string &text, MessageIcon icon) = 0;
    virtual void setTitle(const std::string &title) = 0;

    // Optional: the pointer, the system cursor and game controllers.
    virtual void warpMouse(int x, int y) {}
    virtual void showCursor(bool shown) {}
    virtual Controllers *controllers() { return nullptr; }
};

// Writes a message box's texts to stderr: the form every back-end uses when no box can be shown.
void messageToStderr(const std::string &caption, const std::string &text);

} // namespace platform
