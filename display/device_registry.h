// Which display device a machine's display commands work on. A machine is bound to one device for
// as long as the device lives; two machines (two runtimes in one process) keep two devices apart.
#pragma once

namespace vm {
struct Machine;
}

namespace display {

class DisplayDevice;

void bindDevice(vm::Machine &m, DisplayDevice *device); // nullptr unbinds
DisplayDevice *deviceOf(const vm::Machine &m);          // nullptr when none is bound

} // namespace display
