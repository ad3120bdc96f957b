// The engine-drawn mouse pointer of a full-screen display: three images cut from the pointer art
// (arrow, bar, dot) that do not take program image numbers, and two render items in layer 2, drawn
// after every program sprite, with transparency and background save. The first follows the mouse;
// the second stays off-screen (it and the bar and dot serve a text caret).
//
// Correctness rules:
//  1. The pointer's items carry sprite number 0 and image number 0: sprite numbers, image numbers,
//     sprite queries and collision with "any sprite" never see them.
//  2. Hiding moves both items off-screen while keeping their records, so the backgrounds they saved
//     on both pages of a flip chain are still put back (no trail).
//  3. A framed window has no engine pointer: its items stay off-screen and the system cursor shows.
#pragma once

#include <cstdint>

namespace vm {
struct Machine;
}

namespace display {

class DisplayDevice;
class SpriteScene;

inline constexpr int kPointerStartX = 320, kPointerStartY = 100;
inline constexpr int kPointerOffScreen = -256;
inline constexpr int kPointerLayer = 2;
inline constexpr int kPointerBarWidth = 2, kPointerBarHeight = 22;

class PointerSprites {
  public:
    PointerSprites(vm::Machine &m, DisplayDevice &device) : machine(m), device(device) {}

    vm::Machine &machine;
    DisplayDevice &device;
    int32_t arrowImage = -1, barImage = -1, dotImage = -1; // image slots, -1 none
    int32_t pointerItem = -1, caretItem = -1;              // render items, -1 none
    bool enabled = false;

    // Cuts the images again and places the items at their start (enabled) or off-screen; the items
    // keep what they saved, so their old places are still cleaned up.
    void setUp(bool enable);
    // Both items off-screen and disabled.
    void hide();
    // The pre-frame step: the first item to (mouse x - 1, mouse y - 1) while enabled.
    void follow(int mouseX, int mouseY);
    // The display's surfaces are back: the pictures are cut again into the same slots.
    void restoreImages();
    // The images and items were dropped with the rest of the scene (program start).
    void forget();

  private:
    SpriteScene *scene() const;
    bool ownItem(int32_t item) const;
    bool cutImages();
    int32_t placeItem(int32_t item, int32_t image, int x, int y, bool visible);
};

PointerSprites *pointerOf(const vm::Machine &m);

// Makes the pointer of a display with sprites, hooks it into the pre-frame step, re-creation, the
// program start and the input state's show and hide. Sprites must be attached first.
void attachPointer(vm::Machine &m, DisplayDevice &device);

} // namespace display
