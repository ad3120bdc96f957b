// Game controllers through SDL's joystick and haptic subsystems. Every attached joystick is opened so
// that it can be read; force feedback uses the device's haptic interface, or its rumble motors when
// it has no haptic interface (constant and periodic effects become rumble of the same strength).
#pragma once

#include <memory>

#include "platform/controllers.h"

namespace platform::sdl {

// Loads SDL when needed and starts its joystick and haptic subsystems; without them the list stays
// empty.
std::unique_ptr<Controllers> createSdlControllers();

} // namespace platform::sdl
