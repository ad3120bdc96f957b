// Force feedback: constant forces from four directions or an angle, vibrations, a push, a damper,
// stopping every effect and the auto-centre spring. Each command has an effect slot of its own on
// the control device, made on first use and changed and started again by later uses.
#include <algorithm>

#include "display/input_families.h"
#include "display/input_force.h"
#include "display/input_state.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kErrorNoForceFeedback = 4101;
constexpr int kErrorBadPercent = 4102;
constexpr int kErrorBadDuration = 4103;
constexpr int kErrorBadAngle = 4104;
constexpr int kFirstEffectCode = 4101;
constexpr uint32_t kShortPushMicros = 100000;   // the four direction pushes last 0.1 s
constexpr uint32_t kDurationTailMicros = 50000; // every timed effect runs 0.05 s longer than asked
constexpr uint32_t kFastPeriodMicros = 50000;
constexpr uint32_t kSlowPeriodMicros = 100000;
constexpr int32_t kDamperSaturation = 10000;

using platform::ForceEffect;
using platform::ForceKind;

int slotOf(int code) {
    return code - kFirstEffectCode;
}

// A duration in milliseconds: 0 runs until stopped, anything else 0.05 s longer than asked.
uint32_t durationMicros(int32_t ms) {
    if (ms == 0)
        return platform::kEndlessEffect;
    const uint64_t micros = uint64_t(ms) * 1000 + kDurationTailMicros;
    return static_cast<uint32_t>(std::min<uint64_t>(micros, platform::kEndlessEffect - 1));
}

ForceEffect constantForce(int32_t direction, uint32_t duration, int32_t magnitude) {
    ForceEffect e;
    e.kind = ForceKind::Constant;
    e.direction = direction;
    e.durationMicros = duration;
    e.magnitude = magnitude;
    return e;
}

// The first periodic kind the device lists; false when it lists none.
bool periodicForce(InputState &s, uint32_t period, uint32_t duration, int32_t magnitude, ForceEffect &e) {
    platform::Controllers *controllers = controllersOf(s);
    const auto kinds = controllers ? controllers->periodicKinds(s.controlId) : std::vector<ForceKind>{};
    if (kinds.empty())
        return false;
    e.kind = kinds.front();
    e.direction = 0;
    e.periodMicros = period;
    e.durationMicros = duration;
    e.magnitude = magnitude;
    return true;
}

ForceEffect damper(uint32_t duration, int32_t percent) {
    ForceEffect e;
    e.kind = ForceKind::Damper;
    e.durationMicros = duration;
    e.coefficient = percent * 50;
    e.saturation = kDamperSaturation;
    return e;
}

// The effect of a slot with its usual parameters at `percent`.
bool defaultEffect(InputState &s, int slot, int32_t percent, ForceEffect &e) {
    const int32_t magnitude = percent * 100;
    switch (slot + kFirstEffectCode) {
    case 4101:
        e = constantForce(18000, kShortPushMicros, magnitude);
        return true;
    case 4102:
        e = constantForce(0, kShortPushMicros, magnitude);
        return true;
    case 4103:
        e = constantForce(9000, kShortPushMicros, magnitude);
        return true;
    case 4104:
        e = constantForce(27000, kShortPushMicros, magnitude);
        return true;
    case 4105:
    case 4107:
        e = constantForce(0, kShortPushMicros, magnitude);
        return true;
    case 4106:
        return periodicForce(s, kFastPeriodMicros, kShortPushMicros, magnitude, e);
    case 4108:
        return periodicForce(s, kSlowPeriodMicros, kShortPushMicros, magnitude, e);
    case 4110:
        e = damper(kShortPushMicros, percent);
        return true;
    default:
        return false;
    }
}

// Changes the slot's effect (making it when it does not exist yet) and starts it once. A device
// without that kind of effect does nothing; a failed change leaves the effect as it was.
void play(InputState &s, int slot, const ForceEffect &effect) {
    platform::Controllers *controllers = controllersOf(s);
    if (!controllers || s.controlId < 0)
        return;
    int &handle = s.effects[slot];
    if (handle < 0) {
        handle = controllers->createEffect(s.controlId, effect);
        if (handle >= 0)
            controllers->startEffect(s.controlId, handle);
        return;
    }
    switch (controllers->changeEffect(s.controlId, handle, effect)) {
    case platform::EffectChange::Changed:
        controllers->startEffect(s.controlId, handle);
        break;
    case platform::EffectChange::RestartNeeded:
        controllers->releaseEffect(s.controlId, handle);
        handle = controllers->createEffect(s.controlId, effect);
        if (handle >= 0)
            controllers->startEffect(s.controlId, handle);
        break;
    case platform::EffectChange::Failed:
        break;
    }
}

// The checks of every effect command, in their order; the control device's state when they pass.
InputState *readyForForce(vm::Machine &m, int32_t percent) {
    InputState *s = inputOf(m);
    if (!s || !s->forceReady) {
        vm::raise(m, kErrorNoForceFeedback);
        return nullptr;
    }
    if (percent < 0 || percent > 100) {
        vm::raise(m, kErrorBadPercent);
        return nullptr;
    }
    return s;
}

// 4101 to 4104 percent
template <int Code> void directionalForce(vm::Machine &m) {
    const int32_t percent = m.pc[0].cell->i;
    m.pc += 1;
    InputState *s = readyForForce(m, percent);
    ForceEffect e;
    if (s && defaultEffect(*s, slotOf(Code), percent, e))
        play(*s, slotOf(Code), e);
}

// 4105 percent, angle, duration
void forceFromAngle(vm::Machine &m) {
    const int32_t percent = m.pc[0].cell->i, angle = m.pc[1].cell->i, ms = m.pc[2].cell->i;
    m.pc += 3;
    InputState *s = readyForForce(m, percent);
    if (!s)
        return;
    if (angle < 0 || angle > 360)
        return vm::raise(m, kErrorBadAngle);
    if (ms < 0)
        return vm::raise(m, kErrorBadDuration);
    play(*s, slotOf(4105), constantForce(angle * 100, durationMicros(ms), percent * 100));
}

// 4106 to 4108, 4110 percent, duration
template <int Code> void timedForce(vm::Machine &m) {
    const int32_t percent = m.pc[0].cell->i, ms = m.pc[1].cell->i;
    m.pc += 2;
    InputState *s = readyForForce(m, percent);
    if (!s)
        return;
    if (ms < 0)
        return vm::raise(m, kErrorBadDuration);
    ForceEffect e;
    if (!defaultEffect(*s, slotOf(Code), percent, e))
        return;
    e.durationMicros = durationMicros(ms);
    play(*s, slotOf(Code), e);
}

// 4109
void stopForces(vm::Machine &m) {
    InputState *s = inputOf(m);
    if (!s || !s->forceReady)
        return vm::raise(m, kErrorNoForceFeedback);
    platform::Controllers *controllers = controllersOf(*s);
    if (controllers && s->controlId >= 0)
        for (int handle : s->effects)
            if (handle >= 0)
                controllers->stopEffect(s->controlId, handle);
}

// 4112, 4113
template <bool On> void autoCentre(vm::Machine &m) {
    InputState *s = inputOf(m);
    if (!s || !s->forceReady)
        return vm::raise(m, kErrorNoForceFeedback);
    platform::Controllers *controllers = controllersOf(*s);
    if (controllers && s->controlId >= 0)
        controllers->setAutoCentre(s->controlId, On);
}

constexpr vm::CommandEntry kForceCommands[] = {
    {4101, &directionalForce<4101>, "push up"},
    {4102, &directionalForce<4102>, "push down"},
    {4103, &directionalForce<4103>, "push left"},
    {4104, &directionalForce<4104>, "push right"},
    {4105, &forceFromAngle, "constant force from an angle"},
    {4106, &timedForce<4106>, "fast vibration"},
    {4107, &timedForce<4107>, "constant push"},
    {4108, &timedForce<4108>, "slow vibration"},
    {4110, &timedForce<4110>, "damper"},
    {4109, &stopForces, "stop every force"},
    {4112, &autoCentre<true>, "auto-centre on"},
    {4113, &autoCentre<false>, "auto-centre off"},
};

} // namespace

void createAllEffects(InputState &s) {
    platform::Controllers *controllers = controllersOf(s);
    if (!controllers || s.controlId < 0)
        return;
    for (int slot = 0; slot < kEffectSlots; ++slot) {
        ForceEffect e;
        if (s.effects[slot] < 0 && defaultEffect(s, slot, 100, e))
            s.effects[slot] = controllers->createEffect(s.controlId, e);
    }
}

void registerForceCommands(vm::Machine &m) {
    vm::registerCommands(m, kForceCommands);
}

} // namespace display
