// The display's command families; each registers its table on a machine. Handlers find their
// device through deviceOf(m); without one they answer 0 and change nothing.
#pragma once

namespace vm {
struct Machine;
}

namespace display {

void registerRefreshCommands(
    vm::Machine &m);                         // refresh, manual and automatic refresh, frame rate, 3D capability queries
void registerModeCommands(vm::Machine &m);   // mode list and setting, screen queries, gamma
void registerCardCommands(vm::Machine &m);   // software 3D, card list and choice, T&L, video memory
void registerWindowCommands(vm::Machine &m); // framed window, full screen, window layout and show state
void registerBitmapCommands(vm::Machine &m); // bitmaps: load, save, create, copy, effects, queries
void registerDrawCommands(vm::Machine &m);   // clear, colours, dot, box, line, circle, ellipse, point
void registerImageCommands(vm::Machine &m);  // images: grab, load, save, paste, rotate, delete
void registerSpriteCommands(vm::Machine &m); // sprites: set-up, settings, paste, queries, collision
void registerTextCommands(vm::Machine &m);   // print cursor, font list, text font, text drawing and queries

inline void registerDisplayCommands(vm::Machine &m) {
    registerRefreshCommands(m);
    registerModeCommands(m);
    registerCardCommands(m);
    registerWindowCommands(m);
    registerBitmapCommands(m);
    registerDrawCommands(m);
    registerImageCommands(m);
    registerSpriteCommands(m);
    registerTextCommands(m);
}

} // namespace display
