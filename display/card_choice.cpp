// The display card choice: remembered in BEST3DCARD and BEST3DDEPTH, asked for once with "ask".
#include "display/card_choice.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "display/display_device.h"
#include "display/start_screens.h"
#include "platform/platform.h"

namespace display {
namespace {

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
// The screen shown is presented before every pump, so the window shows it while it waits.
int waitForInput(const DisplayDevice &device, const std::string &keys, bool orClick) {
    const DisplayEnvironment &env = device.environment();
    if (!env.pumpMessages)
        return -1;
    for (;;) {
        if (env.platform)
            presentStartScreen(device, *env.platform);
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
        const int c = waitForInput(device, keys, false);
        // Nobody to answer (a headless run without the key): the first card.
        device.chosenCard = listed[c > 0 ? size_t(c - '1') : 0];
    }
    writeState(env, "BEST3DCARD", device.chosenCard);

    probeCard(device);
    pause(env, 1000);
    pause(env, 1000);
    device.screenShown = DisplayDevice::StartScreen::Capabilities;
    waitForInput(device, "", true);
    writeState(env, "BEST3DDEPTH", std::to_string(device.probe.depthFound));
    device.depth3d = device.probe.depthFound;
}

// The screens' texts one line each, an answer joined to its label ("Supports Fogging: Yes").
std::vector<std::string> DisplayDevice::startScreenLines() const {
    std::vector<std::string> lines;
    for (const StartScreenText &t : startScreenTexts(*this)) {
        if (t.place == StartScreenText::Place::Answer && !lines.empty())
            lines.back() += ": " + t.text;
        else
            lines.push_back(t.text);
    }
    return lines;
}

} // namespace display
