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
//
// Events of frame N arrive after N frames have been presented, in the order written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform::headless {

struct ScriptEvent {
    uint64_t frame = 0;
    Event event;
};

// Parses a script. On a bad line returns false with "file:line: message" in `error`.
bool parseInputScript(const std::string &text, const std::string &fileName, std::vector<ScriptEvent> &events,
                      std::string &error);

} // namespace platform::headless
