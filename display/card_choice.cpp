// The display card choice: remembered in BEST3DCARD and BEST3DDEPTH, asked for once with "ask".
#include "display/card_choice.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "display/display_device.h"
#include "platform/platform.h"

namespace display {
namespace {

constexpr size_t kMaxListedAdapters = 5;
constexpr size_t kMaxCardName = 255;

bool sameIgnoringCase(const std::string &a, const std::string &b) {
    return a.size() == b.size() && strncasecmp(a.c_str(), b.c_str(), a.size()) == 0;
}

std::string readState(const DisplayEnvironment &env, const char *key, const char *fallback) {
    return env.readState ? env.readState(key, fallback) : fallback;
}

void writeState(const DisplayEnvironment &env, const char *key, const std::string &value) {
    if (env.writeState)
        env.writeState(key, value);
}

// The remembered depth; anything but 16, 24 or 32 (a hand-edited file) means 16, so that a bad
// value cannot keep every program from starting.
int depthFromText(const std::string &text) {
    const int depth = std::atoi(text.substr(0, 7).c_str());
    return depth == 24 || depth == 32 ? depth : 16;
}

// Waits for a character key (when `keys` is given, one of them) or, with `orClick`, a mouse click.
// Returns the character, 0 for a click, -1 when no input can come (window closed, nobody there).
int waitForInput(const DisplayEnvironment &env, const std::string &keys, bool orClick) {
    if (!env.pumpMessages)
        return -1;
    for (;;) {
        bool clicked = false;
        const int c = env.pumpMessages(clicked);
        if (c < 0)
            return -1;
        if (orClick && clicked)
            return 0;
        if (c > 0 && (keys.empty() || keys.find(char(c)) != std::string::npos))
            return c;
    }
}

void pause(const DisplayEnvironment &env, uint32_t ms) {
    if (env.platform)
        env.platform->waitUntil(env.platform->millis() + ms);
}

} // namespace

void probeCard(DisplayDevice &device) {
    auto &probe = device.probe;
    probe = DisplayDevice::ProbeResults{};
    const int savedWidth = device.requestedWidth, savedHeight = device.requestedHeight,
              savedDepth = device.requestedDepth;
    device.exclusive = true;
    bool madeHardware = false, inVideoMemory = false;
    int lastDepth = 16;
    bool haveObject = device.createDisplayObject(false);
    for (int depth : {16, 24, 32}) {
        if (!haveObject)
            break;
        lastDepth = depth;
        device.requestedWidth = 640;
        device.requestedHeight = 480;
        device.requestedDepth = depth;
        if (device.setMode(640, 480, depth) && device.createSurfaces() && device.hardwareDevice) {
            madeHardware = true;
            inVideoMemory = !device.systemMemory;
            probe.alphaBlending = device.caps().ghostBlendMode != 0;
            probe.textureFiltering = device.caps().textureFilterMode != 0;
            probe.fogging = device.caps().fogAvailable;
        }
        device.releaseSurfaces();
        device.created = false;
        if (madeHardware)
            break;
        haveObject = device.createDisplayObject(false);
    }
    device.releaseSurfaces();
    device.created = false;
    probe.supported3d = madeHardware && inVideoMemory;
    probe.depthFound = madeHardware ? lastDepth : 16;
    device.requestedWidth = savedWidth;
    device.requestedHeight = savedHeight;
    device.requestedDepth = savedDepth;
}

void runCardChoice(DisplayDevice &device) {
    const DisplayEnvironment &env = device.environment();
    device.chosenCard = readState(env, "BEST3DCARD", "").substr(0, kMaxCardName);
    std::vector<std::string> listed;
    for (const Adapter &a : device.adapters()) {
        if (listed.size() == kMaxListedAdapters)
            break;
        listed.push_back(a.description.substr(0, kMaxCardName));
    }
    for (const auto &name : listed) {
        if (sameIgnoringCase(name, device.chosenCard)) {
            device.depth3d = depthFromText(readState(env, "BEST3DDEPTH", "16"));
            return;
        }
    }
    if (!sameIgnoringCase(device.chosenCard, "ask"))
        return;
    if (listed.empty())
        return;

    // The card chooser: the only adapter is taken without asking.
    if (listed.size() == 1) {
        device.chosenCard = listed[0];
    } else {
        device.screenShown = DisplayDevice::StartScreen::Choice;
        std::string keys;
        for (size_t k = 0; k < listed.size(); ++k)
            keys += char('1' + k);
        const int c = waitForInput(env, keys, false);
        // Nobody to answer (a headless run without the key): the first card.
        device.chosenCard = listed[c > 0 ? size_t(c - '1') : 0];
    }
    writeState(env, "BEST3DCARD", device.chosenCard);

    probeCard(device);
    pause(env, 1000);
    pause(env, 1000);
    device.screenShown = DisplayDevice::StartScreen::Capabilities;
    waitForInput(env, "", true);
    writeState(env, "BEST3DDEPTH", std::to_string(device.probe.depthFound));
    device.depth3d = device.probe.depthFound;
}

std::vector<std::string> DisplayDevice::startScreenLines() const {
    std::vector<std::string> lines;
    char text[300];
    if (screenShown == StartScreen::Choice) {
        lines.push_back("MULTIPLE DISPLAY CARDS DETECTED");
        size_t n = 0;
        for (const Adapter &a : adapters_) {
            if (n == kMaxListedAdapters)
                break;
            std::snprintf(text, sizeof text, "%d. %s", int(++n), a.description.substr(0, kMaxCardName).c_str());
            lines.push_back(text);
        }
        std::snprintf(text, sizeof text, "PLEASE SELECT KEYS 1 to %d", int(n));
        lines.push_back(text);
        lines.push_back("TO CHOOSE YOUR BEST CARD");
        lines.push_back("(THIS WINDOW ONLY APPEARS ONCE)");
    } else if (screenShown == StartScreen::Capabilities) {
        auto yesNo = [](bool v) { return v ? "Yes" : "No"; };
        lines.push_back(chosenCard);
        std::snprintf(text, sizeof text, "Supports 3D at 640x480x%d", probe.supported3d ? probe.depthFound : 16);
        lines.push_back(std::string(text) + ": " + yesNo(probe.supported3d));
        lines.push_back(std::string("Supports Alphablending: ") + yesNo(probe.alphaBlending));
        lines.push_back(std::string("Supports Texture Filtering: ") + yesNo(probe.textureFiltering));
        lines.push_back(std::string("Supports Fogging: ") + yesNo(probe.fogging));
        if (!probe.supported3d) {
            lines.push_back("YOUR GRAPHICS CARD IS NOT");
            lines.push_back("RECOMMENDED FOR HIGH-CONTENT 3D");
        } else if (probe.alphaBlending && probe.textureFiltering && probe.fogging) {
            lines.push_back("YOUR 3D CARD SUPPORTS");
            lines.push_back("ALL BUILT-IN FEATURES");
        } else {
            lines.push_back("YOU MAY EXPERIENCE SOME");
            lines.push_back("LOSS IN VISUAL QUALITY");
        }
        lines.push_back("PRESS ANY KEY");
    }
    return lines;
}

} // namespace display
