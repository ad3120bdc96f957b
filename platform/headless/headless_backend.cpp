#include "platform/headless/headless_backend.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/headless/png_writer.h"

namespace platform::headless {
namespace {
uint64_t wallMicros() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}
} // namespace

HeadlessBackend::HeadlessBackend(bool realtime, std::vector<ScriptEvent> script, std::string frameFolder,
                                 std::vector<ControllerStep> controllerSteps)
    : realtime_(realtime), script_(std::move(script)), frameFolder_(std::move(frameFolder)),
      controllers_(std::move(controllerSteps)) {
    startMicros_ = wallMicros();
}

uint64_t HeadlessBackend::clockMicros() {
    if (realtime_)
        return wallMicros() - startMicros_;
    return ++virtualMicros_;
}

void HeadlessBackend::addInstructions(uint64_t count) {
    pendingInstructions_ += count;
    virtualMicros_ += pendingInstructions_ / kInstructionsPerMicro;
    pendingInstructions_ %= kInstructionsPerMicro;
}

void HeadlessBackend::waitUntilMicros(uint64_t deadline) {
    if (!realtime_) {
        if (virtualMicros_ < deadline)
            virtualMicros_ = deadline;
        return;
    }
    uint64_t now = clockMicros();
    if (deadline > now)
        std::this_thread::sleep_for(std::chrono::microseconds(deadline - now));
}

bool HeadlessBackend::nextEvent(Event &event, uint64_t framesPresented) {
    if (nextScripted_ >= script_.size() || script_[nextScripted_].frame > framesPresented)
        return false;
    event = script_[nextScripted_++].event;
    return true;
}

void HeadlessBackend::present(const uint32_t *pixels, uint64_t frameNumber) {
    controllers_.setFramesPresented(frameNumber);
    if (frameFolder_.empty() || !pixels)
        return;
    char name[32];
    std::snprintf(name, sizeof name, "/frame-%06llu.png", static_cast<unsigned long long>(frameNumber));
    std::string error;
    if (!writePng(frameFolder_ + name, pixels, kScreenWidth, kScreenHeight, &error) && !frameWriteReported_) {
        // Reported once: a full disk should not bury the program's own output under repeats.
        frameWriteReported_ = true;
        messageToStderr("zorvane", "cannot save frames: " + error);
    }
}

bool HeadlessBackend::setClipboardText(const std::string &text) {
    clipboard_ = text;
    return true;
}

bool HeadlessBackend::messageBox(const std::string &caption, const std::string &text, MessageIcon) {
    messageToStderr(caption, text);
    return false;
}

} // namespace platform::headless
