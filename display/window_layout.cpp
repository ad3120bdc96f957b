// The window layout: full screen or a framed window, and applying it to the platform's window.
#include "display/display_device.h"
#include "platform/platform.h"

namespace display {
namespace {
constexpr int kFramedBorder = 8;
constexpr int kFramedCaption = 19;
constexpr int kFramedX = 4;
constexpr int kFramedY = 23;
constexpr int kShowDefault = 10;
} // namespace

void DisplayDevice::setFramedLayout() {
    layout_.windowMode = true;
    layout_.borderPainting = false;
    layout_.title.clear();
    layout_.showCommand = kShowDefault;
    layout_.width = screenWidth;
    layout_.height = screenHeight;
    layout_.icon = false;
    layout_.border = kFramedBorder;
    layout_.caption = kFramedCaption;
    layout_.x = kFramedX;
    layout_.y = kFramedY;
    layout_.framedStyle = true;
    layout_.captionStyle = true;
}

void DisplayDevice::setFullScreenLayout() {
    layout_.windowMode = false;
    layout_.borderPainting = true;
    layout_.x = layout_.y = 0;
    layout_.title = "Zorvane";
    layout_.showCommand = kShowDefault;
    layout_.width = platform::kScreenWidth;
    layout_.height = platform::kScreenHeight;
    layout_.icon = true;
    layout_.border = layout_.caption = 0;
    layout_.framedStyle = false;
    layout_.captionStyle = false;
}

void DisplayDevice::applyLayout(bool titleOnly) {
    // The platform window always shows the whole picture scaled into itself; its title is what a
    // layout can change there. Position, size, frame and show state are kept in the layout, where
    // the window position (the outer rectangle is x - border / 2, y - caption - border / 2) and the
    // client area are read back.
    if (env_.platform)
        env_.platform->setTitle(layout_.title);
    if (titleOnly)
        return;
    layout_.systemCursorShown = layout_.windowMode;
}

} // namespace display
