// The headless back-end.
//  [x] clock: virtual by default (advances with instructions executed, frame pacing and each reading),
//      the wall clock with `realtime`
//  [x] events: from an input script, scheduled by frame
//  [x] presentation: counted; written as numbered PNG files when a frame folder is given
//  [x] clipboard: kept in memory for the run
//  [x] message boxes: written to stderr
//  [-] window title: kept, not shown
//  [x] game controllers: attached, moved and unplugged by the script; force feedback logged
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/backend.h"
#include "platform/headless/input_script.h"
#include "platform/headless/scripted_controllers.h"

namespace platform::headless {

// Virtual time: ten instructions take one microsecond, every clock reading one microsecond (so a
// loop that only watches the clock still sees time pass).
constexpr uint64_t kInstructionsPerMicro = 10;

class HeadlessBackend final : public Backend {
  public:
    HeadlessBackend(bool realtime, std::vector<ScriptEvent> script, std::string frameFolder,
                    std::vector<ControllerStep> controllerSteps = {});

    std::string name() const override { return "headless"; }
    bool headless() const override { return true; }
    uint64_t clockMicros() override;
    void addInstructions(uint64_t count) override;
    void waitUntilMicros(uint64_t deadline) override;
    bool nextEvent(Event &event, uint64_t framesPresented) override;
    void present(const uint32_t *pixels, uint64_t frameNumber) override;
    bool showsFrames() const override { return !frameFolder_.empty(); }
    bool setClipboardText(const std::string &text) override;
    std::string clipboardText() override { return clipboard_; }
    bool messageBox(const std::string &caption, const std::string &text, MessageIcon icon) override;
    void setTitle(const std::string &title) override { title_ = title; }
    Controllers *controllers() override { return &controllers_; }
    // The scripted controllers, for tests that look at their force-feedback log.
    ScriptedControllers &scriptedControllers() { return controllers_; }

  private:
    bool realtime_;
    uint64_t virtualMicros_ = 0;
    uint64_t pendingInstructions_ = 0;
    uint64_t startMicros_ = 0;
    std::vector<ScriptEvent> script_;
    size_t nextScripted_ = 0;
    std::string frameFolder_;
    bool frameWriteReported_ = false;
    std::string clipboard_;
    std::string title_;
    ScriptedControllers controllers_;
};

} // namespace platform::headless
