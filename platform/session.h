// The system's Platform: one back-end plus what every back-end shares — the key state array fed
// from the events taken (SDL's own array ignores injected events), the mouse state, the quit flag,
// and the recording or replay of a run.
#pragma once

#include <array>
#include <memory>

#include "platform/backend.h"
#include "platform/recording.h"

namespace platform {

class Session final : public Platform {
  public:
    Session(std::unique_ptr<Backend> backend, std::unique_ptr<Recorder> recorder, std::unique_ptr<Replay> replay);
    ~Session() override;

    std::string backendName() const override { return backend_->name(); }
    bool headless() const override { return backend_->headless(); }
    uint32_t millis() override;
    void addInstructions(uint64_t count) override { backend_->addInstructions(count); }
    void waitUntil(uint32_t deadline) override;
    bool pollEvent(Event &event) override;
    bool keyDown(int scanCode) override { return scanCode >= 0 && scanCode < kKeyCount && keys_[scanCode]; }
    int mouseX() const override { return mouseX_; }
    int mouseY() const override { return mouseY_; }
    int mouseButtons() const override { return buttons_; }
    int mouseWheelTotal() const override { return wheel_; }
    void warpMouse(int x, int y) override;
    void showCursor(bool shown) override { backend_->showCursor(shown); }
    Controllers *controllers() override { return backend_->controllers(); }
    void postQuit() override { quit_ = true; }
    bool quitPosted() const override { return quit_; }
    bool setClipboardText(const std::string &text) override { return backend_->setClipboardText(text); }
    std::string clipboardText() override { return backend_->clipboardText(); }
    void present(const uint32_t *pixels) override { backend_->present(pixels, ++frames_); }
    uint64_t framesPresented() const override { return frames_; }
    bool showsFrames() const override { return backend_->showsFrames(); }
    bool messageBox(const std::string &caption, const std::string &text, MessageIcon icon) override {
        return backend_->messageBox(caption, text, icon);
    }
    void setTitle(const std::string &title) override { backend_->setTitle(title); }

  private:
    void track(const Event &event);

    std::unique_ptr<Backend> backend_;
    std::unique_ptr<Recorder> recorder_;
    std::unique_ptr<Replay> replay_;
    std::array<bool, kKeyCount> keys_{};
    int mouseX_ = kScreenWidth / 2;
    int mouseY_ = kScreenHeight / 2;
    int buttons_ = 0;
    int wheel_ = 0;
    bool quit_ = false;
    uint64_t frames_ = 0;
    uint32_t lastMillis_ = 0;
    // After the replay ran out, the back-end's clock continues from the last replayed reading.
    bool liveClock_ = false;
    uint64_t liveBaseMicros_ = 0;
    uint32_t liveBaseMillis_ = 0;
};

} // namespace platform
