// The start-up window's two screens, the card choice and the capabilities found: their texts laid
// out in a 320 x 240 picture, painted, and shown centred in the presented 640 x 480 frame while the
// card chooser waits for the user.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "display/surface.h"

namespace platform {
class Platform;
}

namespace display {

class DisplayDevice;

inline constexpr int kStartScreenWidth = 320;
inline constexpr int kStartScreenHeight = 240;

// The screens' colours, 0xRRGGBB.
inline constexpr uint32_t kStartOrange = 0xFFC028;
inline constexpr uint32_t kStartDarkOrange = 0xF09614;
inline constexpr uint32_t kStartWhite = 0xFFFFFF;
inline constexpr uint32_t kStartYes = 0xFFFF00;
inline constexpr uint32_t kStartNo = 0xFF0000;
inline constexpr uint32_t kStartFrameGrey = 0x404040;

// The chooser lists at most this many adapters, each description cut to this length.
inline constexpr size_t kMaxListedAdapters = 5;
inline constexpr size_t kMaxCardName = 255;

// One text of a screen. `Centred` texts are centred across the picture, `Label` texts (and the
// adapter lines) start 16 pixels from the left, and an `Answer` belongs to the label before it and
// starts 48 pixels from the right edge.
struct StartScreenText {
    enum class Place { Centred, Label, Answer };
    std::string text;
    Place place = Place::Centred;
    int top = 0;
    uint32_t rgb = kStartWhite;
};

// The texts of the screen the device shows (none when it shows none), in drawing order.
std::vector<StartScreenText> startScreenTexts(const DisplayDevice &device);

// The screen the device shows, painted into a 320 x 240 picture (32 bits per pixel); all black
// when no screen is shown.
Surface paintStartScreen(const DisplayDevice &device);

// The shown screen centred in a 640 x 480 frame with black around it, 0x00RRGGBB per pixel, as the
// platform presents it.
std::vector<uint32_t> startScreenFrame(const DisplayDevice &device);

// Presents the shown screen; nothing when no screen is shown.
void presentStartScreen(const DisplayDevice &device, platform::Platform &platform);

} // namespace display
