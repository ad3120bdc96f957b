// The run loop, the window procedure, the throttled pump and the wait for the break keys.
#include "host/host.h"

namespace host {
namespace {

// Handlers that wait call the pump in their loops; only every 50001st call drains the queue.
constexpr int kPumpEvery = 50001;
// Waiting for the break keys gives up after this long, so a key held by a script (or a stuck key)
// cannot keep a run from ending.
constexpr uint32_t kBreakKeyWaitLimitMs = 5000;
constexpr uint32_t kBreakKeyPollMs = 10;
constexpr int kInitialMouseX = 320;
constexpr int kInitialMouseY = 240;

bool isBreakKey(int scanCode) {
    return scanCode == platform::kScanEscape || scanCode == platform::kScanF11 || scanCode == platform::kScanF12;
}

} // namespace

void Host::handleEvent(const platform::Event &event) {
    vm::Machine &m = *machine_;
    // Every message first clears the last key: it holds a character only until the next message.
    m.lastKey = 0;
    using platform::EventType;
    switch (event.type) {
    case EventType::Quit:
        requestQuit();
        break;
    case EventType::Moved:
    case EventType::Resized:
        for (auto &changed : hooks_.windowChanged)
            changed(*this);
        break;
    case EventType::FocusGained:
        for (auto &activation : hooks_.activation)
            activation(*this, true);
        m.windowActive = true;
        break;
    case EventType::FocusLost:
        // A framed window keeps running in the background; full screen pauses until it is back.
        if (!framedWindow_) {
            for (auto &activation : hooks_.activation)
                activation(*this, false);
            m.windowActive = false;
        }
        break;
    case EventType::KeyDown:
        if (event.a == platform::kScanEscape && m.escapeQuits)
            requestQuit();
        break;
    case EventType::Character:
        m.lastKey = event.a & 0xFF;
        entry_.append(static_cast<char>(event.a));
        break;
    case EventType::MouseDown:
        if (event.a == 1)
            anyClick_ = 1;
        if (event.a == 2)
            anyClick_ = 2;
        break;
    case EventType::MouseUp:
        if (event.a == 1 || event.a == 2)
            anyClick_ = 0;
        break;
    default:
        break;
    }
}

void Host::drainEvents(bool skipBreakKeys) {
    platform::Event event;
    while (platform_->pollEvent(event)) {
        if (skipBreakKeys && event.type == platform::EventType::KeyDown && isBreakKey(event.a))
            continue;
        handleEvent(event);
    }
}

void Host::pumpThrottled() {
    if (++pumpCounter_ < kPumpEvery)
        return;
    pumpCounter_ = 0;
    drainEvents(false);
}

void Host::waitForBreakKeysReleased() {
    uint32_t start = platform_->millis();
    for (;;) {
        // The key presses being waited out are not dispatched again (they would end the next run).
        drainEvents(true);
        bool held = platform_->keyDown(platform::kScanEscape) || platform_->keyDown(platform::kScanF11) ||
                    platform_->keyDown(platform::kScanF12);
        uint32_t now = platform_->millis();
        if (!held || now - start > kBreakKeyWaitLimitMs)
            break;
        platform_->waitUntil(now + kBreakKeyPollMs);
    }
    drainEvents(true);
}

void Host::runLoop() {
    vm::Machine &m = *machine_;
    step("run loop");
    vm::resetForRun(m);
    anyClick_ = 0;
    (void)kInitialMouseX; // the input family sets its mouse state to 320, 240 through its run start hook
    (void)kInitialMouseY;
    pumpThrottled();
    waitForBreakKeysReleased();
    lastFrameMs_ = platform_->millis();
    for (;;) {
        for (auto &poll : hooks_.pollInput)
            poll(*this);
        if (platform_->quitPosted() || m.quitPosted) {
            waitForBreakKeysReleased();
            break;
        }
        platform::Event event;
        if (platform_->pollEvent(event)) {
            handleEvent(event);
            continue;
        }
        runFrame();
    }
}

void Host::runFrame() {
    vm::Machine &m = *machine_;
    for (auto &start : hooks_.frameStart)
        start(*this);
    vm::runSlice(m);
    if (m.debugMode)
        log_.flushTrace();
    // Frame pacing: at least the frame interval between presented frames.
    uint32_t due = lastFrameMs_ + static_cast<uint32_t>(m.frameIntervalMs > 0 ? m.frameIntervalMs : 0);
    if (static_cast<int32_t>(due - platform_->millis()) > 0)
        platform_->waitUntil(due);
    lastFrameMs_ = platform_->millis();
    for (auto &end : hooks_.frameEnd)
        end(*this);
    // While a full-screen window is inactive nothing new is drawn; the last frame is shown again,
    // which also keeps scripted input (scheduled by frame) moving in a headless run.
    platform_->present(framesSeen() ? frameBuffer().data() : nullptr);
    if (options_.maxFrames && platform_->framesPresented() >= options_.maxFrames)
        requestQuit();
}

} // namespace host
