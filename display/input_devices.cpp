// Reading the devices into the input state: the key table, the mouse, the default joystick and the
// control device; creating input, re-acquiring controllers that were unplugged, and the releases.
#include <algorithm>
#include <map>

#include "display/device_registry.h"
#include "display/display_device.h"
#include "display/input_state.h"
#include "host/entry_buffer.h"
#include "vm/machine.h"

namespace display {
namespace {

std::map<const vm::Machine *, std::weak_ptr<InputState>> &bindings() {
    static std::map<const vm::Machine *, std::weak_ptr<InputState>> table;
    return table;
}

int32_t scaledAxis(int32_t raw, bool deadZone) {
    int32_t v = std::clamp(raw * kAxisRange / 32767, -kAxisRange, kAxisRange);
    if (!deadZone)
        return v;
    // The inner tenth reads 0 and the rest is stretched so that the ends still reach +-1000.
    const int32_t magnitude = v < 0 ? -v : v;
    if (magnitude <= kJoystickDeadZone)
        return 0;
    const int32_t stretched = (magnitude - kJoystickDeadZone) * kAxisRange / (kAxisRange - kJoystickDeadZone);
    return v < 0 ? -stretched : stretched;
}

JoystickState convert(const platform::ControllerReading &r, bool deadZone) {
    JoystickState s;
    for (int a = 0; a < platform::kControllerAxes; ++a)
        s.axes[a] = scaledAxis(r.axes[a], deadZone);
    for (int h = 0; h < platform::kControllerHats; ++h)
        s.hats[h] = r.hats[h];
    for (int b = 0; b < platform::kControllerButtons; ++b)
        s.buttons[b] = r.buttons[b] ? 0x80 : 0;
    return s;
}

bool isAttached(const std::vector<platform::ControllerInfo> &list, int id) {
    return std::any_of(list.begin(), list.end(), [id](const platform::ControllerInfo &c) { return c.id == id; });
}

// The default joystick: the one taken at start-up while it stays attached; once it is gone, a device
// of the same name when one is plugged in, otherwise the first attached joystick.
void reacquireJoystick(InputState &s, const std::vector<platform::ControllerInfo> &list) {
    if (s.joystickId >= 0 && isAttached(list, s.joystickId))
        return;
    if (s.joystickId >= 0)
        s.joystick = JoystickState{}; // unplugged: a stuck axis or button would keep a player moving
    s.joystickId = -1;
    const platform::ControllerInfo *pick = nullptr;
    for (const auto &c : list)
        if (!c.generic && c.name == s.joystickName) {
            pick = &c;
            break;
        }
    for (const auto &c : list)
        if (!pick && !c.generic)
            pick = &c;
    if (pick) {
        s.joystickId = pick->id;
        s.joystickName = pick->name;
    }
}

// The control device keeps its name while unplugged and is opened again when a device of that name
// returns; its effects are made anew on their next use.
void reacquireControl(InputState &s, const std::vector<platform::ControllerInfo> &list) {
    if (s.controlName.empty() || (s.controlId >= 0 && isAttached(list, s.controlId)))
        return;
    if (s.controlId >= 0) {
        s.control = JoystickState{};
        s.controlId = -1;
        std::fill(std::begin(s.effects), std::end(s.effects), -1);
    }
    for (const auto &c : list)
        if (c.name == s.controlName && (c.forceFeedback || !s.forceReady)) {
            s.controlId = c.id;
            if (platform::Controllers *controllers = controllersOf(s))
                controllers->setAutoCentre(c.id, false);
            return;
        }
}

void readControllers(InputState &s) {
    platform::Controllers *controllers = controllersOf(s);
    if (!controllers)
        return;
    controllers->update();
    const std::vector<platform::ControllerInfo> list = controllers->attached();
    reacquireJoystick(s, list);
    reacquireControl(s, list);
    platform::ControllerReading reading;
    if (s.controlId >= 0 && controllers->read(s.controlId, reading))
        s.control = convert(reading, false);
    if (s.joystickId >= 0 && s.joystickId == s.controlId)
        s.joystick = s.control; // the same device: the joystick queries read the control device
    else if (s.joystickId >= 0 && controllers->read(s.joystickId, reading))
        s.joystick = convert(reading, true);
}

} // namespace

void bindInput(vm::Machine &m, const std::shared_ptr<InputState> &state) {
    if (state)
        bindings()[&m] = state;
    else
        bindings().erase(&m);
}

InputState *inputOf(const vm::Machine &m) {
    auto it = bindings().find(&m);
    if (it == bindings().end())
        return nullptr;
    // The host's hooks own the state; the pointer stays valid while they do.
    return it->second.lock().get();
}

platform::Controllers *controllersOf(const InputState &s) {
    return s.platform ? s.platform->controllers() : nullptr;
}

bool createInput(InputState &s, vm::Machine &m) {
    if (!s.platform)
        return false;
    s.joystickId = s.controlId = -1;
    s.joystickName.clear();
    s.controlName.clear();
    s.forceReady = false;
    std::fill(std::begin(s.effects), std::end(s.effects), -1);
    s.acquired = false;
    // A full-screen display draws its own pointer; a framed window shows the system cursor.
    s.pointerSpritesEnabled = s.framedWindow && !s.framedWindow();
    readControllers(s);
    return true;
}

void pollInput(InputState &s, vm::Machine &m) {
    if (!s.platform)
        return;
    if (!m.windowActive) {
        s.acquired = false;
        return;
    }
    platform::Platform &p = *s.platform;
    if (!s.acquired) {
        // Acquired (again): what the pointer did before, or while the window was away, is not movement.
        s.lastPointerX = p.mouseX();
        s.lastPointerY = p.mouseY();
        s.lastWheel = p.mouseWheelTotal();
        s.acquired = true;
    }
    for (int code = 0; code < platform::kKeyCount; ++code)
        s.keys[code] = p.keyDown(code) ? 0x80 : 0;

    const int pointerX = p.mouseX(), pointerY = p.mouseY(), wheel = p.mouseWheelTotal();
    const int dx = pointerX - s.lastPointerX, dy = pointerY - s.lastPointerY, dz = wheel - s.lastWheel;
    s.lastPointerX = pointerX;
    s.lastPointerY = pointerY;
    s.lastWheel = wheel;
    const bool framed = s.framedWindow && s.framedWindow();
    if (s.pointerSpritesEnabled || !framed) {
        int width = platform::kScreenWidth, height = platform::kScreenHeight;
        if (const DisplayDevice *device = deviceOf(m)) {
            width = device->screenWidth;
            height = device->screenHeight;
        }
        s.mouseX = std::clamp(s.mouseX + dx, 0, std::max(width - 1, 0));
        s.mouseY = std::clamp(s.mouseY + dy, 0, std::max(height - 1, 0));
        s.click = p.mouseButtons() & 0xF;
    } else {
        // The window's own pointer: its position and the button messages.
        s.mouseX = pointerX;
        s.mouseY = pointerY;
        s.click = s.anyClick ? s.anyClick() : 0;
    }
    s.moveX += dx;
    s.moveY += dy;
    s.mouseZ = std::clamp(s.mouseZ + dz, 0, kMouseZMax);
    s.moveZ += dz;

    readControllers(s);
}

InputState *freshInput(vm::Machine &m) {
    InputState *s = inputOf(m);
    if (s && m.inputRefresh) {
        pollInput(*s, m);
        m.inputRefresh = false;
    }
    return s;
}

void resetInputForRun(InputState &s) {
    s.mouseX = kInitialMouseX;
    s.mouseY = kInitialMouseY;
    s.mouseZ = kInitialMouseZ;
    s.moveX = s.moveY = 0;
    s.waitKeyState = s.waitMouseState = 0;
    s.acquired = false; // the program's mouse starts here, wherever the pointer is
    if (s.entryBuffer)
        s.entryBuffer->clear();
}

void endInputFrame(InputState &s) {
    s.moveX = s.moveY = 0;
}

void releaseControlDevice(InputState &s) {
    platform::Controllers *controllers = controllersOf(s);
    if (controllers && s.controlId >= 0)
        for (int &handle : s.effects)
            if (handle >= 0) {
                controllers->stopEffect(s.controlId, handle);
                controllers->releaseEffect(s.controlId, handle);
            }
    std::fill(std::begin(s.effects), std::end(s.effects), -1);
    s.controlId = -1;
    s.controlName.clear();
    s.control = JoystickState{};
    s.forceReady = false;
}

} // namespace display
