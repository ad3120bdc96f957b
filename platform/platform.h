// The services the rest of the system takes from the operating system, behind one interface.
// Two back-ends implement every method: SDL (a real window) and headless (scripted input, files).
// Nothing outside platform/ includes SDL or other OS headers.
//
// The host creates one Platform per run through createPlatform(); the session under it keeps the key
// state array, the mouse state, the quit flag, the recording and the replay, so that both back-ends
// (and a replayed run) behave the same way towards the rest of the system.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "platform/controllers.h"

namespace platform {

// System keyboard scan codes used by the runtime itself (PC set 1; extended keys are the set-1 code + 128).
constexpr int kScanEscape = 1;
constexpr int kScanReturn = 28;
constexpr int kScanSpace = 57;
constexpr int kScanF11 = 87;
constexpr int kScanF12 = 88;
constexpr int kScanUp = 200;
constexpr int kScanLeft = 203;
constexpr int kScanRight = 205;
constexpr int kScanDown = 208;
constexpr int kKeyCount = 256;

// The logical screen every frame is drawn for; the window scales it with the aspect kept.
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;

// One input or window event, in the order the user caused them.
enum class EventType : uint8_t {
    None,
    Quit,        // the window was closed (or the script/replay asked for it)
    KeyDown,     // a = scan code
    KeyUp,       // a = scan code
    Character,   // a = the character's byte (Latin-1; Return 13, Backspace 8, Tab 9, Escape 27)
    MouseMove,   // a, b = position in logical screen pixels
    MouseDown,   // a = button: 1 left, 2 right, 3 middle
    MouseUp,     // a = button
    MouseWheel,  // a = wheel steps, positive away from the user
    FocusGained, //
    FocusLost,   //
    Moved,       // a, b = window left, top
    Resized,     // a, b = client width, height
};

struct Event {
    EventType type = EventType::None;
    int a = 0;
    int b = 0;
};

const char *eventTypeName(EventType type);
// Parses the names eventTypeName() gives ("keydown", "char", ...); None when unknown.
EventType eventTypeFromName(const std::string &name);

enum class MessageIcon : uint8_t { None, Error, Information };

// A local calendar date and time (month 1-12, day 1-31, hour 0-23).
struct LocalTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // "sdl" or "headless".
    virtual std::string backendName() const = 0;
    virtual bool headless() const = 0;

    // Milliseconds since the run started: virtual (advancing with frames and instructions) in a
    // deterministic headless run, the wall clock otherwise. All time reaches the system through here.
    virtual uint32_t millis() = 0;
    // The interpreter reports executed instructions so that the virtual clock can advance with them.
    virtual void addInstructions(uint64_t count) = 0;
    // Waits until millis() reaches `deadline` (frame pacing); a virtual clock jumps there at once.
    virtual void waitUntil(uint32_t deadline) = 0;
    // The local date and time for the program's date and time functions. A deterministic headless
    // run gives 1 January 2000 plus millis(), so its transcripts do not depend on the day they run.
    virtual LocalTime localTime() {
        if (headless()) {
            const uint32_t seconds = millis() / 1000;
            LocalTime t;
            t.day += static_cast<int>(seconds / 86400) % 31;
            t.hour = static_cast<int>(seconds / 3600 % 24);
            t.minute = static_cast<int>(seconds / 60 % 60);
            t.second = static_cast<int>(seconds % 60);
            return t;
        }
        const std::time_t now = std::time(nullptr);
        const std::tm *parts = std::localtime(&now);
        if (parts == nullptr)
            return LocalTime{};
        return {parts->tm_year + 1900, parts->tm_mon + 1, parts->tm_mday, parts->tm_hour, parts->tm_min, parts->tm_sec};
    }

    // Takes the next waiting event, if any; key and mouse state follow the events taken.
    virtual bool pollEvent(Event &event) = 0;

    // Asynchronous key state by system scan code (fed from the events taken, never from SDL's array).
    virtual bool keyDown(int scanCode) = 0;
    virtual int mouseX() const = 0;
    virtual int mouseY() const = 0;
    // Button bits: 1 left, 2 right, 4 middle.
    virtual int mouseButtons() const = 0;
    // The sum of every wheel step taken so far (positive away from the user).
    virtual int mouseWheelTotal() const { return 0; }
    // Moves the pointer to a logical screen position (the system cursor of a window too).
    virtual void warpMouse(int x, int y) {}
    // Shows or hides the system cursor over the window.
    virtual void showCursor(bool shown) {}
    // The attached game controllers; nullptr when the back-end offers none.
    virtual Controllers *controllers() { return nullptr; }

    // Posts the quit message; the run loop ends after the current frame.
    virtual void postQuit() = 0;
    virtual bool quitPosted() const = 0;

    virtual bool setClipboardText(const std::string &text) = 0;
    virtual std::string clipboardText() = 0;

    // Shows a frame of kScreenWidth x kScreenHeight pixels, 0x00RRGGBB each, row after row.
    virtual void present(const uint32_t *pixels) = 0;
    virtual uint64_t framesPresented() const = 0;
    // False when presented pixels go nowhere (a headless run that saves no frames): the caller may
    // then present without composing a picture (pixels == nullptr).
    virtual bool showsFrames() const { return true; }

    // A message box; never blocks when there is no display (the text goes to stderr then).
    // True when a box was shown, false when the text went to stderr.
    virtual bool messageBox(const std::string &caption, const std::string &text, MessageIcon icon) = 0;

    // The window title (the executable's path in a standalone run).
    virtual void setTitle(const std::string &title) = 0;
};

struct PlatformOptions {
    bool headless = false;    // false: SDL when a display exists, otherwise headless
    bool realtime = false;    // headless only: the wall clock instead of the virtual clock
    bool fullScreen = false;  // SDL: full screen instead of a window
    bool coverScreen = false; // SDL: a window that covers the whole screen (maximised)
    std::string title = "Zorvane";
    std::string inputScript;   // headless: the input script file
    std::string dumpFramesDir; // headless: a PNG per presented frame goes here
    std::string recordFile;    // record every event and clock reading to this file
    std::string replayFile;    // replay events and clock readings from this file
};

// Creates the back-end the options ask for. On failure returns nullptr and explains in `error`.
std::unique_ptr<Platform> createPlatform(const PlatformOptions &options, std::string &error);

// True when a display server is reachable (X11 or Wayland).
bool displayAvailable();

} // namespace platform
