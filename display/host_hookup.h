// Plugs the display into a host: the display set-up at start-up, the pre-frame and post-frame
// steps, window activation and release. Inline so that the display library does not depend on
// the host library (the host links the display, not the other way round).
#pragma once

#include <cctype>
#include <memory>

#include "display/device_registry.h"
#include "display/display_device.h"
#include "display/display_families.h"
#include "display/drawing.h"
#include "display/pointer_sprites.h"
#include "display/sprite_scene.h"
#include "display/text_engine.h"
#include "builder/payload.h"
#include "host/host.h"
#include "platform/platform.h"

namespace display {

struct HookupOptions {
    bool want3d = true;             // look for a GL device (tests of 2D alone leave it out)
    std::vector<Adapter> adapters;  // replaces the real adapters when not empty
    std::vector<DisplayMode> modes; // replaces the offered modes when not empty
};

// The file to open for a name the program gives: a standalone game's packed media file when it
// carries one (extracted under the name's own ending, so readers still know the format), else the
// name itself.
inline std::string mediaPath(host::Host &h, const std::string &name) {
    std::string path = name;
    if (builder::PayloadReader *payload = h.payload()) {
        std::string ending = name.size() >= 3 ? name.substr(name.size() - 3) : std::string("dat");
        for (char &c : ending)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        payload->lookUpByPath(path, ending);
    }
    return path;
}

// One pump of a start-up screen's wait: the character typed, 0 for another event or for nothing
// within a tenth of a second (so that the waiting screen is presented again and a window that was
// covered shows it), -1 when no input can come (quit, or a headless run out of scripted input).
inline int pumpStartScreenMessages(platform::Platform *p, bool &clicked) {
    if (!p)
        return -1;
    platform::Event e;
    for (int idle = 0;; ++idle) {
        if (p->quitPosted())
            return -1;
        if (p->pollEvent(e))
            break;
        // A headless run has nobody at the keyboard beyond its script.
        if (p->headless())
            return -1;
        if (idle == 10)
            return 0;
        p->waitUntil(p->millis() + 10);
    }
    if (e.type == platform::EventType::Quit)
        return -1;
    if (e.type == platform::EventType::MouseDown)
        clicked = true;
    return e.type == platform::EventType::Character ? (e.a & 0xFF) : 0;
}

// The device lives as long as the host's hooks; `created` (optional) receives it once made.
inline void attachDisplay(host::Host &h, HookupOptions options = {},
                          std::shared_ptr<DisplayDevice> *created = nullptr) {
    auto device = std::make_shared<std::shared_ptr<DisplayDevice>>();
    host::HostHooks &hooks = h.hooks();

    hooks.setUpDisplay.push_back([device, options, created](host::Host &h) -> int {
        DisplayEnvironment env;
        env.platform = h.platform();
        env.windowMode = h.settings().windowMode;
        env.blitFlipMode = h.settings().blitFlipMode;
        env.traceMode = h.settings().traceMode;
        env.want3d = options.want3d;
        env.headless = !h.platform() || h.platform()->headless();
        env.adapters = options.adapters;
        env.modes = options.modes;
        env.readState = [&h](const std::string &key, const std::string &fallback) {
            return h.state().get(key, fallback);
        };
        env.writeState = [&h](const std::string &key, const std::string &value) { h.state().set(key, value); };
        env.logEngineError = [&h](const std::string &text) { h.log().logEngineError(text); };
        env.pumpMessages = [&h](bool &clicked) { return pumpStartScreenMessages(h.platform(), clicked); };
        *device = std::make_shared<DisplayDevice>(std::move(env));
        if (created)
            *created = *device;
        vm::Machine &m = h.machine();
        (*device)->machine = &m;
        bindDevice(m, device->get());
        registerDisplayCommands(m);
        // Bitmaps and the DrawQueue, run in the DrawQueue frame step; pictures are looked up in a
        // standalone game's media first.
        attachDrawing(m, **device, [&h](const std::string &name) { return mediaPath(h, name); });
        attachText(m, *drawingOf(m)); // print and input show on screen as well as in the transcript
        // Images and sprites; files they open are looked up in a standalone game's media first.
        attachSprites(m, **device, [&h](const std::string &name) { return mediaPath(h, name); },
                      h.settings().blitOverdrawFactor());
        // The engine-drawn mouse pointer of a full-screen display, above every program sprite.
        attachPointer(m, **device);
        // Drawing 3D after 2D is switched off at every program start.
        m.runStartHooks.push_back([](vm::Machine &m) {
            if (DisplayDevice *d = deviceOf(m))
                d->draw3dAfter2d = false;
        });
        return (*device)->createAtStartUp();
    });
    hooks.frameStart.push_back([device](host::Host &h) {
        if (*device)
            (*device)->preFrame(h.machine());
    });
    hooks.frameEnd.push_back([device](host::Host &h) {
        if (!*device)
            return;
        (*device)->primaryShown = h.framesSeen();
        (*device)->postFrame(h.machine());
        if (h.framesSeen())
            (*device)->composeFrame(h.frameBuffer().data(), platform::kScreenWidth, platform::kScreenHeight);
    });
    hooks.windowChanged.push_back([device](host::Host &h) {
        if (*device && h.framesSeen()) {
            (*device)->bringPrimaryUpToDate();
            (*device)->composeFrame(h.frameBuffer().data(), platform::kScreenWidth, platform::kScreenHeight);
        }
    });
    hooks.activation.push_back([device](host::Host &, bool active) {
        if (*device)
            (*device)->setActive(active);
    });
    hooks.releaseDevices.push_back([device](host::Host &h) {
        if (!*device)
            return;
        (*device)->release();
        if ((*device)->machine)
            bindDevice(*(*device)->machine, nullptr);
        (*device)->machine = nullptr;
    });
}

} // namespace display
