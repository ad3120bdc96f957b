// The game controllers of a headless run: attached, moved, pressed and unplugged by the input
// script at the frames it names. A controller attached with force feedback keeps its effects and
// writes what is done with them to a log ("create 0 constant direction 18000 ..."), which is what a
// test can observe of force feedback.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/controllers.h"
#include "platform/headless/input_script.h"

namespace platform::headless {

class ScriptedControllers final : public Controllers {
  public:
    explicit ScriptedControllers(std::vector<ControllerStep> steps);

    // The number of frames presented so far: steps of frame N apply once N frames were shown.
    void setFramesPresented(uint64_t frames) { frames_ = frames; }

    void update() override;
    std::vector<ControllerInfo> attached() override;
    bool read(int id, ControllerReading &reading) override;
    std::vector<ForceKind> periodicKinds(int id) override;
    int createEffect(int id, const ForceEffect &effect) override;
    EffectChange changeEffect(int id, int handle, const ForceEffect &effect) override;
    bool startEffect(int id, int handle) override;
    void stopEffect(int id, int handle) override;
    void releaseEffect(int id, int handle) override;
    bool setAutoCentre(int id, bool on) override;

    const std::vector<std::string> &effectLog() const { return log_; }

  private:
    struct Device {
        int id = -1;
        int scriptNumber = 0;
        std::string name;
        bool forceFeedback = false;
        ControllerReading reading;
        std::vector<ForceEffect> effects;
        std::vector<bool> live;
    };
    Device *find(int id);
    Device *findEffect(int id, int handle);
    void apply(const ControllerStep &step);
    void note(const std::string &what, int handle, const ForceEffect *effect);

    std::vector<ControllerStep> steps_;
    size_t next_ = 0;
    uint64_t frames_ = 0;
    int nextId_ = 0;
    std::vector<Device> devices_; // attached ones, in attach order
    std::vector<std::string> log_;
};

} // namespace platform::headless
