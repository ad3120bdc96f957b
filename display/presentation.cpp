// The display's part of the frame cycle: the pre-frame and post-frame steps, presentation (flip
// chain or copy), the frame rate, clearing, gamma and the loss of the display.
#include <algorithm>
#include <atomic>

#include "display/display_device.h"
#include "platform/gl_device.h"
#include "platform/platform.h"
#include "vm/machine.h"

namespace display {

void DisplayDevice::addFrameStep(FrameStep step, std::function<void()> fn) {
    steps_[size_t(step)].push_back(std::move(fn));
}

void DisplayDevice::runSteps(FrameStep step) {
    for (auto &fn : steps_[size_t(step)])
        fn();
}

void DisplayDevice::setActive(bool on) {
    active = on;
}

bool DisplayDevice::restoreSurfaces() {
    // Our surfaces live in memory and survive anything; what can be lost is the window's focus in
    // full screen, and the picture comes back only once the window is active again.
    if (!created || (machine && !machine->windowActive)) {
        active = false;
        return false;
    }
    runSteps(FrameStep::RestoreSpriteBackgrounds); // saved backgrounds are stale after a loss
    return true;
}

void DisplayDevice::preFrame(vm::Machine &m) {
    if (!active) {
        screenInvalid = true;
        if (exclusive && created && !primary_->empty() && m.windowActive && restoreSurfaces()) {
            active = true;
        } else {
            return;
        }
    }
    runSteps(FrameStep::UpdatePointer);
    clearDepthBuffer();
    runSteps(FrameStep::RestoreSpriteBackgrounds);
    runSteps(FrameStep::Backdrop);
    if (!draw3dAfter2d)
        runSteps(FrameStep::Render3D);
    runSteps(FrameStep::DrawQueue);
}

void DisplayDevice::postFrame(vm::Machine &m) {
    runSteps(FrameStep::DeferredDeletions);
    // The host has waited the frame interval; an interval of 0 still keeps frames one clock tick
    // apart, so the measured rate never divides by a zero interval.
    if (m.frameIntervalMs <= 0 && env_.platform) {
        if (env_.platform->millis() == lastFrameTime)
            env_.platform->waitUntil(lastFrameTime + 1);
    }
    lastFrameTime = millis();
    if (!active)
        return;
    runSteps(FrameStep::Animations);
    runSteps(FrameStep::SaveSpriteBackgrounds);
    if (draw3dAfter2d)
        runSteps(FrameStep::Render3DAfter2D);
    runSteps(FrameStep::DrawSprites);
    runSteps(FrameStep::SoundUpdate);
    runSteps(FrameStep::Animate3D);
    present();
    runSteps(FrameStep::ScreenSave);
}

namespace {
// The primary surface becomes a copy of the back buffer. Only rows either of them wrote since the
// last copy can differ, and nothing differs when both are blank: a first presentation of a
// mostly empty screen then costs a few rows instead of two screens of fresh memory.
void copyWrittenRows(Surface &from, Surface &to) {
    const bool sameShape = to.width == from.width && to.height == from.height && to.pitch == from.pitch &&
                           to.pixels.size() == from.pixels.size() && to.rowsWritten.size() == from.rowsWritten.size();
    if (!sameShape) {
        to.pixels = from.pixels;
    } else if (!(from.blank && to.blank)) {
        const size_t pitch = size_t(from.pitch);
        for (size_t y = 0; y < from.rowsWritten.size(); ++y) {
            if (from.rowsWritten[y] || to.rowsWritten[y])
                std::memcpy(to.pixels.data() + y * pitch, from.pixels.data() + y * pitch, pitch);
        }
    }
    to.blank = from.blank;
    to.rowsWritten.assign(from.rowsWritten.size(), 0);
    std::fill(from.rowsWritten.begin(), from.rowsWritten.end(), 0);
}
} // namespace

void DisplayDevice::present() {
    if (!created || primary_->empty())
        return;
    if (flipChain) {
        // The attached back buffer becomes the visible page and the old page is drawn on next.
        std::swap(primary_, back_);
        page ^= 1;
    } else if (primaryShown) {
        copyWrittenRows(*back_, *primary_);
        primaryStale_ = false;
    } else {
        primaryStale_ = true; // the back buffer keeps marking every row written since the last copy
    }
    // Where the picture's top-left lands in the client area, for mouse coordinates: centred in a
    // screen-sized window, at the origin otherwise.
    const bool centred = !exclusive && !layout_.windowMode;
    presentOriginX = centred ? (platform::kScreenWidth - screenWidth) / 2 : 0;
    presentOriginY = centred ? (platform::kScreenHeight - screenHeight) / 2 : 0;
    ++frameCounter;
    const uint32_t now = millis();
    if (now - lastSampleTime > 1000) {
        framesPerSecond = int(int64_t(frameCounter - lastSampleCount) * 1000 / int64_t(now - lastSampleTime));
        lastSampleTime = now;
        lastSampleCount = frameCounter;
    }
}

void DisplayDevice::bringPrimaryUpToDate() {
    if (primaryStale_ && !flipChain)
        copyWrittenRows(*back_, *primary_);
    primaryStale_ = false;
}

namespace {
// The device that composed into an output last: another device composing into the same output in
// between means the output no longer holds this device's frame.
std::atomic<const DisplayDevice *> lastComposer{nullptr};
} // namespace

void DisplayDevice::composeFrame(uint32_t *out, int outWidth, int outHeight) const {
    const Surface &src = *primary_;
    const bool centred = !exclusive && !layout_.windowMode && src.width <= outWidth && src.height <= outHeight;
    ComposedFrame &last = composed_;
    const bool unchanged = lastComposer.load() == this && last.out == out && last.outWidth == outWidth &&
                           last.outHeight == outHeight && last.width == src.width && last.height == src.height &&
                           last.pitch == src.pitch && last.layout == src.layout && last.centred == centred &&
                           last.gamma == gamma_ && last.pixels == src.pixels;
    if (unchanged)
        return;
    lastComposer.store(this);
    last.out = out;
    last.outWidth = outWidth;
    last.outHeight = outHeight;
    last.width = src.width;
    last.height = src.height;
    last.pitch = src.pitch;
    last.layout = src.layout;
    last.centred = centred;
    last.gamma = gamma_;
    last.pixels = src.pixels;

    std::fill(out, out + size_t(outWidth) * size_t(outHeight), 0u);
    if (src.empty() || outWidth <= 0 || outHeight <= 0)
        return;
    // Channel tables: packed channel value -> 8-bit value with the gamma ramp applied.
    const PixelLayout &lay = src.layout;
    std::vector<uint32_t> red(lay.redMax + 1), green(lay.greenMax + 1), blue(lay.blueMax + 1);
    auto fillTable = [&](std::vector<uint32_t> &table, uint32_t max, int channel, int shift) {
        for (uint32_t v = 0; v <= max; ++v) {
            uint32_t wide = max ? uint32_t(255.0 / double(max) * double(v)) : 0;
            table[v] = uint32_t(gamma_[size_t(channel)][std::min<uint32_t>(wide, 255)] >> 8) << shift;
        }
    };
    fillTable(red, lay.redMax, 0, 16);
    fillTable(green, lay.greenMax, 1, 8);
    fillTable(blue, lay.blueMax, 2, 0);
    // Placement: a picture that fits a screen-sized window is centred at its own size; otherwise it
    // is scaled to fit with its aspect kept.
    int w = src.width, h = src.height;
    if (!centred) {
        if (int64_t(w) * outHeight > int64_t(h) * outWidth) {
            h = int(int64_t(h) * outWidth / w);
            w = outWidth;
        } else {
            w = int(int64_t(w) * outHeight / h);
            h = outHeight;
        }
    }
    const int x0 = (outWidth - w) / 2, y0 = (outHeight - h) / 2;
    // Source column of every output column, worked out once per frame rather than per pixel.
    std::vector<int> sourceX(static_cast<size_t>(w));
    for (int x = 0; x < w; ++x)
        sourceX[size_t(x)] = int(int64_t(x) * src.width / w);
    for (int y = 0; y < h; ++y) {
        const int sy = int(int64_t(y) * src.height / h);
        uint32_t *line = out + size_t(y0 + y) * size_t(outWidth) + size_t(x0);
        for (int x = 0; x < w; ++x) {
            const uint32_t p = src.pixel(sourceX[size_t(x)], sy);
            line[x] = red[(p >> lay.redShift) & lay.redMax] | green[(p >> lay.greenShift) & lay.greenMax] |
                      blue[p & lay.blueMax];
        }
    }
}

void DisplayDevice::clearBackBuffer() {
    back_->fillColour(backgroundColour);
}

void DisplayDevice::clearDepthBuffer() {
    // The frame cycle clears every frame, most often a buffer nothing has drawn into since.
    if (!depthClear_)
        std::fill(depth_.begin(), depth_.end(), 1.0f);
    depthClear_ = true;
    if (gl_ && kind != DeviceKind::None)
        gl_->clearDepth();
}

void DisplayDevice::setGamma(int red, int green, int blue) {
    const int values[3] = {red, green, blue};
    for (int c = 0; c < 3; ++c) {
        const int v = values[c];
        const int offset = v > 256 ? v - 256 : 0;
        const int slope = v > 256 ? 511 - v : v;
        for (int i = 0; i < 256; ++i)
            gamma_[size_t(c)][size_t(i)] = uint16_t(offset * 256 + slope * i);
    }
}

} // namespace display
