// The start-up window's screens: black, a dark-grey frame with a black one inside it, and the
// texts in the system font with a transparent background.
#include "display/start_screens.h"

#include <algorithm>
#include <cstdio>

#include "display/display_device.h"
#include "display/font_face.h"
#include "platform/platform.h"

namespace display {
namespace {

constexpr int kListTop = 46;   // the first adapter line or capability row
constexpr int kRowStep = 14;   // from one of those to the next
constexpr int kListGap = 8;    // at least this much between the last of them and the next text
constexpr int kLabelLeft = 16;
constexpr int kAnswerFromRight = 48;
constexpr int kFrameInset = 4; // the dark-grey frame starts here and is this thick
// The system font at a 12-pixel character height: a 14-pixel cell, so rows 14 apart just touch
// and the widest line (the "not recommended" one) keeps clear of the frame.
constexpr int kCharacterHeight = -12;

using Place = StartScreenText::Place;

// The lines after a list are placed at fixed offsets that leave room for one list row; a longer
// list pushes them down by what it takes more, so that no two texts are drawn over each other.
int pushBelowList(int rows) { return std::max(0, kListTop + rows * kRowStep + kListGap - 68); }

} // namespace

std::vector<StartScreenText> startScreenTexts(const DisplayDevice &device) {
    std::vector<StartScreenText> texts;
    char text[300];
    if (device.screenShown == DisplayDevice::StartScreen::Choice) {
        texts.push_back({"MULTIPLE DISPLAY CARDS DETECTED", Place::Centred, 16, kStartOrange});
        int n = 0;
        for (const Adapter &a : device.adapters()) {
            if (size_t(n) == kMaxListedAdapters)
                break;
            std::snprintf(text, sizeof text, "%d. %s", n + 1, a.description.substr(0, kMaxCardName).c_str());
            texts.push_back({text, Place::Label, kListTop + n * kRowStep, kStartWhite});
            ++n;
        }
        const int push = pushBelowList(n);
        std::snprintf(text, sizeof text, "PLEASE SELECT KEYS 1 to %d", n);
        texts.push_back({text, Place::Centred, 68 + push, kStartOrange});
        texts.push_back({"TO CHOOSE YOUR BEST CARD", Place::Centred, 82 + push, kStartOrange});
        texts.push_back({"(THIS WINDOW ONLY APPEARS ONCE)", Place::Centred, 96 + push, kStartDarkOrange});
    } else if (device.screenShown == DisplayDevice::StartScreen::Capabilities) {
        const auto &probe = device.probe;
        texts.push_back({device.chosenCard, Place::Centred, 16, kStartOrange});
        std::snprintf(text, sizeof text, "Supports 3D at 640x480x%d", probe.supported3d ? probe.depthFound : 16);
        const std::pair<std::string, bool> rows[] = {
            {text, probe.supported3d},
            {"Supports Alphablending", probe.alphaBlending},
            {"Supports Texture Filtering", probe.textureFiltering},
            {"Supports Fogging", probe.fogging},
        };
        int top = kListTop;
        for (const auto &[label, yes] : rows) {
            texts.push_back({label, Place::Label, top, kStartWhite});
            texts.push_back({yes ? "Yes" : "No", Place::Answer, top, yes ? kStartYes : kStartNo});
            top += kRowStep;
        }
        const int push = pushBelowList(4);
        const char *first = "YOU MAY EXPERIENCE SOME", *second = "LOSS IN VISUAL QUALITY";
        if (!probe.supported3d) {
            first = "YOUR GRAPHICS CARD IS NOT";
            second = "RECOMMENDED FOR HIGH-CONTENT 3D";
        } else if (probe.alphaBlending && probe.textureFiltering && probe.fogging) {
            first = "YOUR 3D CARD SUPPORTS";
            second = "ALL BUILT-IN FEATURES";
        }
        texts.push_back({first, Place::Centred, 68 + push, kStartOrange});
        texts.push_back({second, Place::Centred, 82 + push, kStartOrange});
        texts.push_back({"PRESS ANY KEY", Place::Centred, 100 + push, kStartDarkOrange});
    }
    return texts;
}

Surface paintStartScreen(const DisplayDevice &device) {
    Surface picture(kStartScreenWidth, kStartScreenHeight, 32);
    if (device.screenShown == DisplayDevice::StartScreen::None)
        return picture;
    auto fillBox = [&](int inset, uint32_t rgb) {
        for (int y = inset; y < kStartScreenHeight - inset; ++y)
            for (int x = inset; x < kStartScreenWidth - inset; ++x)
                picture.setColour(x, y, rgb);
    };
    fillBox(kFrameInset, kStartFrameGrey);
    fillBox(2 * kFrameInset, 0x000000);

    // Without any font the screen still shows its frame; the keys work all the same.
    const auto font = Font::make("system", kCharacterHeight, kStyleNormal);
    if (!font)
        return picture;
    const int innerLeft = 2 * kFrameInset, innerWidth = kStartScreenWidth - 4 * kFrameInset;
    for (const StartScreenText &t : startScreenTexts(device)) {
        int x = kLabelLeft;
        if (t.place == Place::Answer) {
            x = kStartScreenWidth - kAnswerFromRight;
        } else if (t.place == Place::Centred) {
            // A line wider than the frame (a long card name) shows its beginning rather than
            // losing both ends.
            const int width = font->measure(t.text).width;
            x = width > innerWidth ? innerLeft : (kStartScreenWidth - width) / 2;
        }
        font->draw(picture, x, t.top, t.text, picture.layout.pack(t.rgb), std::nullopt);
    }
    return picture;
}

std::vector<uint32_t> startScreenFrame(const DisplayDevice &device) {
    const Surface picture = paintStartScreen(device);
    std::vector<uint32_t> frame(size_t(platform::kScreenWidth) * platform::kScreenHeight, 0);
    const int left = (platform::kScreenWidth - kStartScreenWidth) / 2;
    const int top = (platform::kScreenHeight - kStartScreenHeight) / 2;
    for (int y = 0; y < kStartScreenHeight; ++y)
        for (int x = 0; x < kStartScreenWidth; ++x)
            frame[size_t(top + y) * platform::kScreenWidth + size_t(left + x)] = picture.colour(x, y);
    return frame;
}

void presentStartScreen(const DisplayDevice &device, platform::Platform &platform) {
    if (device.screenShown == DisplayDevice::StartScreen::None)
        return;
    const std::vector<uint32_t> frame = startScreenFrame(device);
    platform.present(frame.data());
}

} // namespace display
