// SDL scancodes (positions on a USB keyboard) to the system's keyboard scan codes (PC set 1, the
// extended keys as their set-1 code + 128: arrows 200/203/205/208, right Ctrl 157, keypad Enter 156).
#pragma once

namespace platform::sdl {

// The system scan code of an SDL scancode; 0 for keys the system has no code for.
int systemScanCode(int sdlScancode);

} // namespace platform::sdl
