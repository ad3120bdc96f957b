// The input devices' command families; each registers its table on a machine.
#pragma once

namespace vm {
struct Machine;
}

namespace host {
class Host;
}

namespace display {

void registerKeyboardCommands(vm::Machine &m); // key queries, scan code, typed characters, the entry buffer, key waits
void registerMouseCommands(vm::Machine &m);    // position, movement, wheel, buttons, pointer, mouse wait
void registerJoystickCommands(vm::Machine &m); // joystick queries, the controller list and the control device
void registerForceCommands(vm::Machine &m);    // force-feedback effects of the control device

inline void registerInputCommands(vm::Machine &m) {
    registerKeyboardCommands(m);
    registerMouseCommands(m);
    registerJoystickCommands(m);
    registerForceCommands(m);
}

} // namespace display
