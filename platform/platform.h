// The services the rest of the system takes from the operating system, behind one interface.
// Two back-ends implement every method: SDL (a real window) and headless (scripted input, files).
// Nothing outside platform/ includes SDL or other OS headers.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// System keyboard scan codes used by the runtime itself.
constexpr int kScanEscape = 1;
constexpr int kScanF11 = 87;
constexpr int kScanF12 = 88;

class Platform {
public:
    virtual ~Platform() = default;

    // Milliseconds since the run started: virtual (advancing with frames and instructions) in a
    // deterministic headless run, the wall clock otherwise. All time reaches the system through here.
    virtual uint32_t millis() = 0;
    // The interpreter reports executed instructions so that the virtual clock can advance with them.
    virtual void addInstructions(uint64_t count) = 0;

    // Asynchronous key state by system scan code.
    virtual bool keyDown(int scanCode) = 0;

    // Posts the quit message; the run loop ends after the current frame.
    virtual void postQuit() = 0;
    virtual bool quitPosted() const = 0;

    virtual bool setClipboardText(const std::string& text) = 0;
    virtual std::string clipboardText() = 0;
};

}  // namespace platform
