// The input devices' state: the key table, the mouse, the default joystick, the control device with
// its force-feedback effects, and the waits. The state is read from the platform once per run-loop
// turn (pollInput) and again by a query that finds the interpreter's input-refresh flag set.
//
// A machine is bound to one InputState while a host runs it; handlers find it through inputOf(m)
// and, without one, answer 0 and change nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/platform.h"

namespace host {
class EntryBuffer;
}
namespace vm {
struct Machine;
}

namespace display {

constexpr int kInitialMouseX = 320;
constexpr int kInitialMouseY = 240;
constexpr int kInitialMouseZ = 50;
constexpr int kMouseZMax = 99;
constexpr int kAxisRange = 1000;       // axes read -1000 .. 1000
constexpr int kJoystickDeadZone = 100; // the default joystick ignores the inner tenth of each axis
constexpr int kEffectSlots = 10;       // one per force-feedback command, 4101 .. 4110

// A game controller's state in the program's units: axes (x, y, z, rotation x, y, z, slider 0, 1)
// -1000 .. 1000, hats in hundredths of a degree or -1 when centred, buttons 0x80 while down.
struct JoystickState {
    int32_t axes[platform::kControllerAxes] = {};
    int32_t hats[platform::kControllerHats] = {-1, -1, -1, -1};
    uint8_t buttons[platform::kControllerButtons] = {};
};

enum Axis { kAxisX, kAxisY, kAxisZ, kAxisRotationX, kAxisRotationY, kAxisRotationZ, kSlider0, kSlider1 };

struct InputState {
    platform::Platform *platform = nullptr;

    // What the host lends the input commands.
    host::EntryBuffer *entryBuffer = nullptr;
    std::function<void()> pumpMessages;   // the host's throttled pump
    std::function<int()> anyClick;        // 1 or 2 from the last button-down message, 0 after a button-up
    std::function<bool()> framedWindow;   // a window with a frame rather than full screen
    // The engine-drawn pointer: the sprite engine installs this to show (true) or hide (false) its
    // pointer sprites; until then full-screen runs draw no pointer.
    std::function<void(bool shown)> pointerSprites;

    uint8_t keys[platform::kKeyCount] = {};
    int mouseX = kInitialMouseX, mouseY = kInitialMouseY, mouseZ = kInitialMouseZ;
    int moveX = 0, moveY = 0, moveZ = 0; // x and y: this frame's movement; z: never reset
    int click = 0;                       // button bits 1, 2, 4, 8
    bool pointerSpritesEnabled = false;

    // Where the platform's pointer and wheel were at the previous read (deltas are taken from them);
    // false while the window is away, so that the next read takes them afresh.
    int lastPointerX = 0, lastPointerY = 0, lastWheel = 0;
    bool acquired = false;

    JoystickState joystick;
    int joystickId = -1; // the platform's id of the default joystick, -1 when none
    std::string joystickName;

    JoystickState control;
    int controlId = -1;      // -1: none attached (the name may still be selected)
    std::string controlName; // empty: no control device selected
    bool forceReady = false;
    int effects[kEffectSlots] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

    int waitKeyState = 0, waitMouseState = 0;
};

// The binding does not keep the state alive: once the host that owns it is gone, inputOf() gives
// nullptr even when a new machine takes the old one's place.
void bindInput(vm::Machine &m, const std::shared_ptr<InputState> &state); // nullptr unbinds
InputState *inputOf(const vm::Machine &m);

// Creating input at start-up: takes the first attached joystick. False when there is no platform.
bool createInput(InputState &s, vm::Machine &m);
// One read of every device (nothing while the window is inactive).
void pollInput(InputState &s, vm::Machine &m);
// Queries call this first: a set input-refresh flag re-reads the devices and is cleared.
InputState *freshInput(vm::Machine &m);
// The run-start state: mouse at (320, 240), z 50, the entry buffer and the waits emptied.
void resetInputForRun(InputState &s);
// The end of a frame: this frame's x and y movement starts again from 0.
void endInputFrame(InputState &s);
// Stops and releases every effect and lets go of the control device.
void releaseControlDevice(InputState &s);

// The platform's controllers when there are any.
platform::Controllers *controllersOf(const InputState &s);

} // namespace display
