// The mouse: position, movement and wheel, buttons, the pointer's visibility and position, and the
// wait for a click.
#include "display/input_families.h"
#include "display/input_state.h"
#include "vm/machine.h"

namespace display {
namespace {

int mouseX(const InputState &s) {
    return s.mouseX;
}
int mouseY(const InputState &s) {
    return s.mouseY;
}
int mouseZ(const InputState &s) {
    return s.mouseZ;
}
int moveX(const InputState &s) {
    return s.moveX;
}
int moveY(const InputState &s) {
    return s.moveY;
}
int moveZ(const InputState &s) {
    return s.moveZ;
}
int click(const InputState &s) {
    return s.click;
}

// 239, 240, 431, 241, 244, 432, 238 result
template <int (*Read)(const InputState &)> void mouseQuery(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    const InputState *s = freshInput(m);
    result.i = s ? Read(*s) : 0;
}

bool framed(const InputState &s) {
    return s.framedWindow && s.framedWindow();
}

void endSliceWhenAutomatic(vm::Machine &m) {
    if (m.autoRefresh)
        m.endSlice = true;
}

// 224: a window hides its cursor (and keeps the pointer inside); full screen hides the pointer sprites.
void hideMouse(vm::Machine &m) {
    endSliceWhenAutomatic(m);
    InputState *s = inputOf(m);
    if (!s || !s->platform)
        return;
    if (framed(*s))
        return s->platform->showCursor(false);
    s->pointerSpritesEnabled = false;
    if (s->pointerSprites)
        s->pointerSprites(false);
}

// 253
void showMouse(vm::Machine &m) {
    m.endSlice = true;
    InputState *s = inputOf(m);
    if (!s || !s->platform)
        return;
    if (framed(*s))
        return s->platform->showCursor(true);
    s->pointerSpritesEnabled = true;
    if (s->pointerSprites)
        s->pointerSprites(true);
}

// 246 x, y: the program's pointer moves there, and so does the system's.
void positionMouse(vm::Machine &m) {
    const int32_t x = m.pc[0].cell->i, y = m.pc[1].cell->i;
    m.pc += 2;
    endSliceWhenAutomatic(m);
    InputState *s = inputOf(m);
    if (!s)
        return;
    s->mouseX = x;
    s->mouseY = y;
    if (s->platform) {
        s->platform->warpMouse(x, y);
        // The jump is not movement of the mouse.
        s->lastPointerX = s->platform->mouseX();
        s->lastPointerY = s->platform->mouseY();
    }
}

// 265: until a button went down and came up again.
void waitForMouse(vm::Machine &m) {
    InputState *s = freshInput(m);
    if (!s)
        return;
    bool present = s->click != 0;
    if (s->waitMouseState == 0) {
        if (present)
            s->waitMouseState = 1;
    } else if (!present) {
        s->waitMouseState = 0;
        return;
    }
    m.pc -= 1;
    m.endSlice = true;
}

constexpr vm::CommandEntry kMouseCommands[] = {
    {239, &mouseQuery<&mouseX>, "mouse x"},
    {240, &mouseQuery<&mouseY>, "mouse y"},
    {431, &mouseQuery<&mouseZ>, "mouse wheel position 0 to 99"},
    {241, &mouseQuery<&moveX>, "mouse movement in x this frame"},
    {244, &mouseQuery<&moveY>, "mouse movement in y this frame"},
    {432, &mouseQuery<&moveZ>, "mouse wheel movement since the start"},
    {238, &mouseQuery<&click>, "mouse button bits"},
    {224, &hideMouse, "hide the mouse pointer"},
    {253, &showMouse, "show the mouse pointer"},
    {246, &positionMouse, "set the mouse position"},
    {265, &waitForMouse, "wait for a mouse click"},
};

} // namespace

void registerMouseCommands(vm::Machine &m) {
    vm::registerCommands(m, kMouseCommands);
}

} // namespace display
