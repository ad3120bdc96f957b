// The SDL back-end.
//  [x] window: 640x480 logical screen scaled to the window with the aspect kept; full screen or windowed
//  [x] events: keyboard (system scan codes), characters (Latin-1, plus Return/Backspace/Tab/Escape
//      as on Windows), mouse in logical screen pixels, wheel, focus, move, size, close
//  [x] clock: the wall clock
//  [x] presentation: a streaming texture per frame
//  [x] clipboard: SDL's (text lives as long as the owner runs under X11)
//  [x] message boxes: SDL's when a display exists, stderr otherwise (SDL's box blocks forever
//      under a virtual display and fails on the offscreen and dummy drivers)
#pragma once

#include <memory>
#include <string>

#include "platform/backend.h"

namespace platform::sdl {

// Creates the window; nullptr with a reason in `error` when SDL's video cannot start.
std::unique_ptr<Backend> createSdlBackend(const PlatformOptions &options, std::string &error);

} // namespace platform::sdl
