// Headless input scripts: one event per line, scheduled by frame.
//
//   # comment (blank lines too)
//   frame 120 keydown 57          key down by system scan code
//   frame 125 keyup 57
//   frame 130 key 28              key down and up
//   frame 10 char 65              one character by its byte value
//   frame 10 text Hello world     the rest of the line, one character per frame from frame 10
//   frame 5 mousemove 100 200     pointer position in screen pixels
//   frame 5 mousedown 1           button 1 left, 2 right, 3 middle
//   frame 5 mouseup 1
//   frame 5 click 1               button down and up
//   frame 6 wheel -1
//   frame 7 focuslost / focusgained
//   frame 300 quit                as if the window were closed
//   frame 0 joystick 1 attach Test Pad       a game controller (number 1 to 16) with its product name
//   frame 0 joystick 2 attach-ff Wheel       ... one with force feedback
//   frame 4 joystick 1 axis x -32768         axis x y z rx ry rz slider0 slider1, -32768 .. 32767
//   frame 4 joystick 1 button 3 down         button 0 to 31, down or up
//   frame 4 joystick 1 hat 0 9000            hat 0 to 3, hundredths of a degree or "centre"
//   frame 9 joystick 1 detach                unplugged
//
// Events of frame N arrive after N frames have been presented, in the order written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/controllers.h"
#include "platform/platform.h"

namespace platform::headless {

struct ScriptEvent {
    uint64_t frame = 0;
    Event event;
};

// One change to a scripted game controller.
struct ControllerStep {
    enum class Action : uint8_t { Attach, Detach, Axis, Button, Hat };
    uint64_t frame = 0;
    int device = 0; // the script's controller number, 1 to kScriptControllers
    Action action = Action::Attach;
    int index = 0;  // axis, button or hat number
    int value = 0;  // axis value, 1/0 for a button, hat angle or kHatCentred
    bool forceFeedback = false;
    std::string name;
};
constexpr int kScriptControllers = 16;

// Parses a script. On a bad line returns false with "file:line: message" in `error`. Controller
// lines go to `controllerSteps` (dropped when it is nullptr).
bool parseInputScript(const std::string &text, const std::string &fileName, std::vector<ScriptEvent> &events,
                      std::string &error, std::vector<ControllerStep> *controllerSteps = nullptr);

} // namespace platform::headless
