#include "platform/session.h"

namespace platform {

Session::Session(std::unique_ptr<Backend> backend, std::unique_ptr<Recorder> recorder, std::unique_ptr<Replay> replay)
    : backend_(std::move(backend)), recorder_(std::move(recorder)), replay_(std::move(replay)) {}

Session::~Session() {
    if (recorder_)
        recorder_->finish();
}

uint32_t Session::millis() {
    uint32_t now;
    if (replay_ && !liveClock_) {
        if (!replay_->clock(now)) {
            now = lastMillis_;
            if (replay_->finished()) {
                liveClock_ = true;
                liveBaseMicros_ = backend_->clockMicros();
                liveBaseMillis_ = lastMillis_;
            }
        }
    } else if (liveClock_) {
        now = liveBaseMillis_ + static_cast<uint32_t>((backend_->clockMicros() - liveBaseMicros_) / 1000);
    } else {
        now = static_cast<uint32_t>(backend_->clockMicros() / 1000);
    }
    lastMillis_ = now;
    if (recorder_)
        recorder_->clock(now);
    return now;
}

void Session::waitUntil(uint32_t deadline) {
    if (replay_) {
        // The replayed clock already holds the recorded time; wait only as long as the recorded run did.
        uint32_t ahead = deadline > lastMillis_ ? deadline - lastMillis_ : 0;
        if (ahead > 0)
            backend_->waitUntilMicros(backend_->clockMicros() + uint64_t(ahead) * 1000);
        return;
    }
    backend_->waitUntilMicros(uint64_t(deadline) * 1000);
}

bool Session::pollEvent(Event &event) {
    bool got = false;
    if (replay_ && !replay_->finished()) {
        // The live back-end is still drained so the window stays responsive; only closing it counts.
        Event live;
        while (backend_->nextEvent(live, frames_))
            if (live.type == EventType::Quit)
                quit_ = true;
        got = replay_->poll(event) == 1;
    } else {
        got = backend_->nextEvent(event, frames_);
    }
    if (recorder_) {
        if (got)
            recorder_->event(event);
        else
            recorder_->noEvent();
    }
    if (got)
        track(event);
    return got;
}

void Session::warpMouse(int x, int y) {
    // The position is ours at once; the back-end moves the real pointer to match.
    mouseX_ = x;
    mouseY_ = y;
    backend_->warpMouse(x, y);
}

void Session::track(const Event &event) {
    switch (event.type) {
    case EventType::KeyDown:
    case EventType::KeyUp:
        if (event.a >= 0 && event.a < kKeyCount)
            keys_[event.a] = event.type == EventType::KeyDown;
        break;
    case EventType::MouseMove:
        mouseX_ = event.a;
        mouseY_ = event.b;
        break;
    case EventType::MouseDown:
    case EventType::MouseUp: {
        int bit = event.a == 1 ? 1 : event.a == 2 ? 2 : event.a == 3 ? 4 : 0;
        if (event.type == EventType::MouseDown)
            buttons_ |= bit;
        else
            buttons_ &= ~bit;
        break;
    }
    case EventType::MouseWheel:
        wheel_ += event.a;
        break;
    case EventType::FocusLost:
        // Keys released while another window has the focus never reach us: forget them all.
        keys_.fill(false);
        buttons_ = 0;
        break;
    default:
        break;
    }
}

} // namespace platform
