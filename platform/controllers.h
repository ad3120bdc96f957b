// Game controllers (joysticks, pads, wheels) and their force feedback, behind one interface.
// The SDL back-end offers the attached devices (SDL joystick and haptic), the headless back-end the
// controllers its input script attaches. Controllers are known by an id that stays the same while
// the device is attached; a device plugged in again gets a new id.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

constexpr int kControllerAxes = 8; // x, y, z, rotation x, y, z, slider 0, slider 1
constexpr int kControllerHats = 4;
constexpr int kControllerButtons = 32;
constexpr int kHatCentred = -1;

struct ControllerInfo {
    int id = -1;
    std::string name;
    bool forceFeedback = false;
    bool generic = false; // a device that is not a joystick but reports as a game device
};

// Raw readings: axes -32768 .. 32767, hats in hundredths of a degree clockwise from up (or
// kHatCentred), buttons true while down.
struct ControllerReading {
    int32_t axes[kControllerAxes] = {};
    int32_t hats[kControllerHats] = {kHatCentred, kHatCentred, kHatCentred, kHatCentred};
    bool buttons[kControllerButtons] = {};
};

enum class ForceKind : uint8_t { Constant, Sine, Triangle, SawtoothUp, SawtoothDown, Damper };
const char *forceKindName(ForceKind kind);

constexpr uint32_t kEndlessEffect = UINT32_MAX;

// One effect on two axes (x, y), gain 10000, no trigger button.
struct ForceEffect {
    ForceKind kind = ForceKind::Constant;
    int32_t direction = 0;        // polar, hundredths of a degree (damper: ignored, Cartesian (1,1) and (-1,-1))
    uint32_t durationMicros = 0;  // kEndlessEffect: until stopped
    int32_t magnitude = 10000;    // 0 .. 10000
    uint32_t periodMicros = 0;    // periodic kinds
    int32_t coefficient = 0;      // damper, -10000 .. 10000
    int32_t saturation = 10000;   // damper
};

// What changing an effect's parameters gave.
enum class EffectChange { Changed, RestartNeeded, Failed };

class Controllers {
  public:
    virtual ~Controllers() = default;

    // Takes the devices' latest state; called once per input poll.
    virtual void update() = 0;
    // The attached devices, joysticks first, in the order they were attached.
    virtual std::vector<ControllerInfo> attached() = 0;
    // False when the device is no longer attached (the reading is left as it was).
    virtual bool read(int id, ControllerReading &reading) = 0;

    // Force feedback. An effect handle is >= 0; -1 when the device cannot make that effect.
    virtual std::vector<ForceKind> periodicKinds(int id) = 0; // in the device's own order
    virtual int createEffect(int id, const ForceEffect &effect) = 0;
    virtual EffectChange changeEffect(int id, int handle, const ForceEffect &effect) = 0;
    virtual bool startEffect(int id, int handle) = 0;
    virtual void stopEffect(int id, int handle) = 0;
    virtual void releaseEffect(int id, int handle) = 0;
    virtual bool setAutoCentre(int id, bool on) = 0;
};

} // namespace platform
