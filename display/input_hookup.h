// Plugs the input devices into a host: creating input at start-up, the poll of every run-loop
// turn, the end of each frame, activation, and the releases at shutdown. Inline so that the display
// library does not depend on the host library (the host links the display).
#pragma once

#include <memory>

#include "display/input_families.h"
#include "display/input_state.h"
#include "host/host.h"
#include "vm/machine.h"

namespace display {

inline void attachInput(host::Host &h) {
    auto state = std::make_shared<InputState>();
    host::HostHooks &hooks = h.hooks();
    vm::Machine &machine = h.machine();
    state->entryBuffer = &h.entryBuffer();
    state->pumpMessages = [&h] { h.pumpThrottled(); };
    state->anyClick = [&h] { return h.anyClick(); };
    state->framedWindow = [&h] { return h.framedWindow(); };
    bindInput(machine, state);
    machine.runStartHooks.push_back([](vm::Machine &m) {
        if (InputState *s = inputOf(m))
            resetInputForRun(*s);
    });

    hooks.startInput.push_back([state](host::Host &h) {
        state->platform = h.platform();
        if (!createInput(*state, h.machine())) {
            h.machine().engineDetail = "Failed to create DirectInput Interface";
            return false;
        }
        return true;
    });
    hooks.pollInput.push_back([state](host::Host &h) { pollInput(*state, h.machine()); });
    hooks.frameEnd.push_back([state](host::Host &) { endInputFrame(*state); });
    hooks.releaseProgramResources.push_back([state](host::Host &h) {
        releaseControlDevice(*state);
        h.entryBuffer().clear();
    });
    hooks.releaseDevices.push_back([state](host::Host &h) {
        releaseControlDevice(*state);
        if (inputOf(h.machine()) == state.get())
            bindInput(h.machine(), nullptr);
        state->platform = nullptr;
    });
}

} // namespace display
