#include "platform/headless/scripted_controllers.h"

#include <algorithm>

namespace platform::headless {

ScriptedControllers::ScriptedControllers(std::vector<ControllerStep> steps) : steps_(std::move(steps)) {
    update();
}

void ScriptedControllers::update() {
    while (next_ < steps_.size() && steps_[next_].frame <= frames_)
        apply(steps_[next_++]);
}

void ScriptedControllers::apply(const ControllerStep &step) {
    using Action = ControllerStep::Action;
    auto device = std::find_if(devices_.begin(), devices_.end(),
                               [&](const Device &d) { return d.scriptNumber == step.device; });
    if (step.action == Action::Attach) {
        if (device != devices_.end())
            return; // already attached: the script must detach it first
        Device d;
        d.id = nextId_++;
        d.scriptNumber = step.device;
        d.name = step.name;
        d.forceFeedback = step.forceFeedback;
        devices_.push_back(std::move(d));
        return;
    }
    if (device == devices_.end())
        return;
    switch (step.action) {
    case Action::Detach:
        devices_.erase(device);
        break;
    case Action::Axis:
        device->reading.axes[step.index] = step.value;
        break;
    case Action::Button:
        device->reading.buttons[step.index] = step.value != 0;
        break;
    case Action::Hat:
        device->reading.hats[step.index] = step.value;
        break;
    case Action::Attach:
        break;
    }
}

std::vector<ControllerInfo> ScriptedControllers::attached() {
    std::vector<ControllerInfo> out;
    for (const Device &d : devices_)
        out.push_back({d.id, d.name, d.forceFeedback, false});
    return out;
}

ScriptedControllers::Device *ScriptedControllers::find(int id) {
    for (Device &d : devices_)
        if (d.id == id)
            return &d;
    return nullptr;
}

ScriptedControllers::Device *ScriptedControllers::findEffect(int id, int handle) {
    Device *d = find(id);
    if (!d || handle < 0 || handle >= static_cast<int>(d->effects.size()) || !d->live[handle])
        return nullptr;
    return d;
}

bool ScriptedControllers::read(int id, ControllerReading &reading) {
    Device *d = find(id);
    if (!d)
        return false;
    reading = d->reading;
    return true;
}

std::vector<ForceKind> ScriptedControllers::periodicKinds(int id) {
    Device *d = find(id);
    if (!d || !d->forceFeedback)
        return {};
    return {ForceKind::Sine, ForceKind::Triangle};
}

void ScriptedControllers::note(const std::string &what, int handle, const ForceEffect *e) {
    std::string line = what + " " + std::to_string(handle);
    if (e) {
        line += std::string(" ") + forceKindName(e->kind);
        if (e->kind == ForceKind::Damper)
            line += " coefficient " + std::to_string(e->coefficient) + " saturation " + std::to_string(e->saturation);
        else
            line += " direction " + std::to_string(e->direction) + " magnitude " + std::to_string(e->magnitude);
        if (e->periodMicros)
            line += " period " + std::to_string(e->periodMicros);
        line += " duration " + (e->durationMicros == kEndlessEffect ? std::string("endless")
                                                                    : std::to_string(e->durationMicros));
    }
    log_.push_back(line);
}

int ScriptedControllers::createEffect(int id, const ForceEffect &effect) {
    Device *d = find(id);
    if (!d || !d->forceFeedback)
        return -1;
    // Slots are reused once released, as a device's effect memory would be.
    int handle = 0;
    while (handle < static_cast<int>(d->live.size()) && d->live[handle])
        ++handle;
    if (handle == static_cast<int>(d->live.size())) {
        d->effects.emplace_back();
        d->live.push_back(false);
    }
    d->effects[handle] = effect;
    d->live[handle] = true;
    note("create", handle, &effect);
    return handle;
}

EffectChange ScriptedControllers::changeEffect(int id, int handle, const ForceEffect &effect) {
    Device *d = findEffect(id, handle);
    if (!d || d->effects[handle].kind != effect.kind)
        return EffectChange::Failed;
    d->effects[handle] = effect;
    note("change", handle, &effect);
    return EffectChange::Changed;
}

bool ScriptedControllers::startEffect(int id, int handle) {
    if (!findEffect(id, handle))
        return false;
    note("start", handle, nullptr);
    return true;
}

void ScriptedControllers::stopEffect(int id, int handle) {
    if (findEffect(id, handle))
        note("stop", handle, nullptr);
}

void ScriptedControllers::releaseEffect(int id, int handle) {
    if (Device *d = findEffect(id, handle)) {
        d->live[handle] = false;
        note("release", handle, nullptr);
    }
}

bool ScriptedControllers::setAutoCentre(int id, bool on) {
    Device *d = find(id);
    if (!d || !d->forceFeedback)
        return false;
    log_.push_back(on ? "autocentre on" : "autocentre off");
    return true;
}

} // namespace platform::headless
