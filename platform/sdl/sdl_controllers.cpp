#include "platform/sdl/sdl_controllers.h"

#include <algorithm>
#include <map>
#include <vector>

#include "platform/sdl/sdl_api.h"

namespace platform::sdl {
namespace {

int32_t hatAngle(Uint8 hat) {
    switch (hat) {
    case SDL_HAT_UP:
        return 0;
    case SDL_HAT_RIGHTUP:
        return 4500;
    case SDL_HAT_RIGHT:
        return 9000;
    case SDL_HAT_RIGHTDOWN:
        return 13500;
    case SDL_HAT_DOWN:
        return 18000;
    case SDL_HAT_LEFTDOWN:
        return 22500;
    case SDL_HAT_LEFT:
        return 27000;
    case SDL_HAT_LEFTUP:
        return 31500;
    default:
        return kHatCentred;
    }
}

Uint32 lengthMs(uint32_t micros) {
    return micros == kEndlessEffect ? SDL_HAPTIC_INFINITY : micros / 1000;
}

Sint16 level(int32_t tenThousandths) {
    return static_cast<Sint16>(std::clamp(tenThousandths, -10000, 10000) * 32767 / 10000);
}

Uint16 hapticType(ForceKind kind) {
    switch (kind) {
    case ForceKind::Constant:
        return SDL_HAPTIC_CONSTANT;
    case ForceKind::Sine:
        return SDL_HAPTIC_SINE;
    case ForceKind::Triangle:
        return SDL_HAPTIC_TRIANGLE;
    case ForceKind::SawtoothUp:
        return SDL_HAPTIC_SAWTOOTHUP;
    case ForceKind::SawtoothDown:
        return SDL_HAPTIC_SAWTOOTHDOWN;
    case ForceKind::Damper:
        return SDL_HAPTIC_DAMPER;
    }
    return 0;
}

SDL_HapticEffect hapticEffect(const ForceEffect &e) {
    SDL_HapticEffect h{};
    h.type = hapticType(e.kind);
    if (e.kind == ForceKind::Constant) {
        h.constant.direction.type = SDL_HAPTIC_POLAR;
        h.constant.direction.dir[0] = e.direction;
        h.constant.length = lengthMs(e.durationMicros);
        h.constant.level = level(e.magnitude);
    } else if (e.kind == ForceKind::Damper) {
        // The two conditions (1, 1) and (-1, -1): the same resistance both ways on both axes.
        h.condition.direction.type = SDL_HAPTIC_CARTESIAN;
        h.condition.direction.dir[0] = 1;
        h.condition.direction.dir[1] = 1;
        h.condition.length = lengthMs(e.durationMicros);
        for (int axis = 0; axis < 2; ++axis) {
            h.condition.right_coeff[axis] = h.condition.left_coeff[axis] = level(e.coefficient);
            h.condition.right_sat[axis] = h.condition.left_sat[axis] =
                static_cast<Uint16>(std::clamp(e.saturation, 0, 10000) * 65535 / 10000);
        }
    } else {
        h.periodic.direction.type = SDL_HAPTIC_POLAR;
        h.periodic.direction.dir[0] = e.direction;
        h.periodic.length = lengthMs(e.durationMicros);
        h.periodic.period = static_cast<Uint16>(std::min<uint32_t>(e.periodMicros / 1000, 65535));
        h.periodic.magnitude = level(e.magnitude);
    }
    return h;
}

class SdlControllers final : public Controllers {
  public:
    explicit SdlControllers(const SdlApi *sdl) : sdl_(sdl) {
        // Without SDL there are no devices to list.
        ok_ = sdl_ && sdl_->InitSubSystem(SDL_INIT_JOYSTICK) == 0;
        haptic_ = ok_ && sdl_->InitSubSystem(SDL_INIT_HAPTIC) == 0;
        update();
    }
    ~SdlControllers() override {
        for (auto &[id, d] : devices_)
            close(d);
        if (haptic_)
            sdl_->QuitSubSystem(SDL_INIT_HAPTIC);
        if (ok_)
            sdl_->QuitSubSystem(SDL_INIT_JOYSTICK);
    }

    void update() override {
        if (!ok_)
            return;
        sdl_->JoystickUpdate();
        for (auto it = devices_.begin(); it != devices_.end();) {
            if (sdl_->JoystickGetAttached(it->second.joystick)) {
                ++it;
                continue;
            }
            close(it->second);
            order_.erase(std::remove(order_.begin(), order_.end(), it->first), order_.end());
            it = devices_.erase(it);
        }
        for (int index = 0; index < sdl_->NumJoysticks(); ++index) {
            SDL_JoystickID id = sdl_->JoystickGetDeviceInstanceID(index);
            if (id < 0 || devices_.count(id))
                continue;
            Device d;
            d.joystick = sdl_->JoystickOpen(index);
            if (!d.joystick)
                continue; // a device that cannot be opened is skipped
            const char *name = sdl_->JoystickName(d.joystick);
            d.name = name ? name : "";
            if (haptic_ && sdl_->JoystickIsHaptic(d.joystick) == SDL_TRUE)
                d.haptic = sdl_->HapticOpenFromJoystick(d.joystick);
            d.rumble = !d.haptic && sdl_->JoystickHasRumble(d.joystick) == SDL_TRUE;
            devices_[id] = std::move(d);
            order_.push_back(id);
        }
    }

    std::vector<ControllerInfo> attached() override {
        std::vector<ControllerInfo> out;
        for (int id : order_) {
            const Device &d = devices_[id];
            out.push_back({id, d.name, d.haptic != nullptr || d.rumble, false});
        }
        return out;
    }

    bool read(int id, ControllerReading &r) override {
        Device *d = find(id);
        if (!d || !sdl_->JoystickGetAttached(d->joystick))
            return false;
        const int axes = std::min(sdl_->JoystickNumAxes(d->joystick), kControllerAxes);
        for (int a = 0; a < axes; ++a)
            r.axes[a] = sdl_->JoystickGetAxis(d->joystick, a);
        const int hats = std::min(sdl_->JoystickNumHats(d->joystick), kControllerHats);
        for (int h = 0; h < hats; ++h)
            r.hats[h] = hatAngle(sdl_->JoystickGetHat(d->joystick, h));
        const int buttons = std::min(sdl_->JoystickNumButtons(d->joystick), kControllerButtons);
        for (int b = 0; b < buttons; ++b)
            r.buttons[b] = sdl_->JoystickGetButton(d->joystick, b) != 0;
        return true;
    }

    std::vector<ForceKind> periodicKinds(int id) override {
        Device *d = find(id);
        if (!d)
            return {};
        if (d->rumble)
            return {ForceKind::Sine};
        if (!d->haptic)
            return {};
        std::vector<ForceKind> kinds;
        const unsigned int offered = sdl_->HapticQuery(d->haptic);
        for (ForceKind k : {ForceKind::Sine, ForceKind::Triangle, ForceKind::SawtoothUp, ForceKind::SawtoothDown})
            if (offered & hapticType(k))
                kinds.push_back(k);
        return kinds;
    }

    int createEffect(int id, const ForceEffect &effect) override {
        Device *d = find(id);
        if (!d)
            return -1;
        if (d->rumble) {
            if (effect.kind == ForceKind::Damper)
                return -1; // rumble motors cannot resist movement
            d->rumbleEffects.push_back(effect);
            return static_cast<int>(d->rumbleEffects.size()) - 1;
        }
        if (!d->haptic)
            return -1;
        SDL_HapticEffect h = hapticEffect(effect);
        if (!(sdl_->HapticQuery(d->haptic) & h.type))
            return -1;
        return sdl_->HapticNewEffect(d->haptic, &h);
    }

    EffectChange changeEffect(int id, int handle, const ForceEffect &effect) override {
        Device *d = find(id);
        if (!d || handle < 0)
            return EffectChange::Failed;
        if (d->rumble) {
            if (handle >= static_cast<int>(d->rumbleEffects.size()))
                return EffectChange::Failed;
            d->rumbleEffects[handle] = effect;
            return EffectChange::Changed;
        }
        if (!d->haptic)
            return EffectChange::Failed;
        SDL_HapticEffect h = hapticEffect(effect);
        return sdl_->HapticUpdateEffect(d->haptic, handle, &h) == 0 ? EffectChange::Changed : EffectChange::Failed;
    }

    bool startEffect(int id, int handle) override {
        Device *d = find(id);
        if (!d || handle < 0)
            return false;
        if (d->rumble) {
            if (handle >= static_cast<int>(d->rumbleEffects.size()))
                return false;
            const ForceEffect &e = d->rumbleEffects[handle];
            const Uint16 strength = static_cast<Uint16>(std::clamp(e.magnitude, 0, 10000) * 65535 / 10000);
            const Uint32 ms = e.durationMicros == kEndlessEffect ? 0xFFFF : e.durationMicros / 1000;
            return sdl_->JoystickRumble(d->joystick, strength, strength, ms) == 0;
        }
        return d->haptic && sdl_->HapticRunEffect(d->haptic, handle, 1) == 0;
    }

    void stopEffect(int id, int handle) override {
        Device *d = find(id);
        if (!d || handle < 0)
            return;
        if (d->rumble)
            sdl_->JoystickRumble(d->joystick, 0, 0, 0);
        else if (d->haptic)
            sdl_->HapticStopEffect(d->haptic, handle);
    }

    void releaseEffect(int id, int handle) override {
        Device *d = find(id);
        if (d && d->haptic && handle >= 0)
            sdl_->HapticDestroyEffect(d->haptic, handle);
    }

    bool setAutoCentre(int id, bool on) override {
        Device *d = find(id);
        if (!d)
            return false;
        if (d->haptic && (sdl_->HapticQuery(d->haptic) & SDL_HAPTIC_AUTOCENTER))
            return sdl_->HapticSetAutocenter(d->haptic, on ? 100 : 0) == 0;
        return d->rumble;
    }

  private:
    struct Device {
        SDL_Joystick *joystick = nullptr;
        SDL_Haptic *haptic = nullptr;
        bool rumble = false;
        std::string name;
        std::vector<ForceEffect> rumbleEffects;
    };
    Device *find(int id) {
        auto it = devices_.find(id);
        return it == devices_.end() ? nullptr : &it->second;
    }
    void close(Device &d) {
        if (d.haptic)
            sdl_->HapticClose(d.haptic);
        if (d.joystick)
            sdl_->JoystickClose(d.joystick);
        d.haptic = nullptr;
        d.joystick = nullptr;
    }

    const SdlApi *sdl_;
    bool ok_ = false;
    bool haptic_ = false;
    std::map<int, Device> devices_;
    std::vector<int> order_; // attach order
};

} // namespace

std::unique_ptr<Controllers> createSdlControllers() {
    std::string ignored; // no SDL: the list of controllers stays empty
    return std::make_unique<SdlControllers>(sdlApi(ignored));
}

} // namespace platform::sdl
