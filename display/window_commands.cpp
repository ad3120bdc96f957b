// The window: framed window mode and full screen, frame, position, size, title and show state.
#include "display/device_registry.h"
#include "display/display_device.h"
#include "display/display_families.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kFramedBorder = 8;
constexpr int kFramedCaption = 19;

// 9101: a framed window at the requested mode; the picture is copied into its client area.
void windowMode(vm::Machine &m) {
    DisplayDevice *d = deviceOf(m);
    if (!d)
        return;
    d->exclusive = false;
    d->recreate(m, d->requestedWidth, d->requestedHeight, d->requestedDepth);
    d->setFramedLayout();
    d->applyLayout();
}

// 9102: back to full screen.
void fullScreenMode(vm::Machine &m) {
    DisplayDevice *d = deviceOf(m);
    if (!d)
        return;
    d->setFullScreenLayout();
    d->applyLayout();
    d->exclusive = true;
    d->recreate(m, d->requestedWidth, d->requestedHeight, d->requestedDepth);
}

// 9103 border, caption, icon (each 0 or 1).
void setWindowLayout(vm::Machine &m) {
    const int32_t border = m.pc[0].cell->i, caption = m.pc[1].cell->i, icon = m.pc[2].cell->i;
    m.pc += 3;
    DisplayDevice *d = deviceOf(m);
    if (!d)
        return;
    WindowLayout &layout = d->layout();
    layout.framedStyle = border == 1;
    layout.border = border == 1 ? kFramedBorder : 0;
    layout.caption = border == 1 ? kFramedCaption : 0;
    layout.captionStyle = false;
    if (caption == 1) {
        layout.border = kFramedBorder;
        layout.caption = kFramedCaption;
        layout.captionStyle = true;
    }
    layout.icon = icon == 1;
    d->applyLayout();
}

template <int WindowLayout::*A, int WindowLayout::*B> void setLayoutPair(vm::Machine &m) {
    const int32_t a = m.pc[0].cell->i, b = m.pc[1].cell->i;
    m.pc += 2;
    if (DisplayDevice *d = deviceOf(m)) {
        d->layout().*A = a;
        d->layout().*B = b;
        d->applyLayout();
    }
}

void setWindowTitle(vm::Machine &m) {
    const std::string title = vm::text(*m.pc[0].cell);
    m.pc += 1;
    if (DisplayDevice *d = deviceOf(m)) {
        d->layout().title = title.substr(0, 255);
        d->applyLayout(true);
    }
}

// 9106 hide 0, 9107 show 5, 9109 minimise 6, 9110 maximise 3, 9111 restore 1.
template <int ShowCommand> void showWindow(vm::Machine &m) {
    if (DisplayDevice *d = deviceOf(m))
        d->layout().showCommand = ShowCommand;
}

constexpr vm::CommandEntry kWindowCommands[] = {
    {9101, &windowMode, "framed window mode"},
    {9102, &fullScreenMode, "full-screen mode"},
    {9103, &setWindowLayout, "set the window's border, caption and icon"},
    {9104, &setLayoutPair<&WindowLayout::x, &WindowLayout::y>, "set the window position"},
    {9105, &setLayoutPair<&WindowLayout::width, &WindowLayout::height>, "set the window size"},
    {9106, &showWindow<0>, "hide the window"},
    {9107, &showWindow<5>, "show the window"},
    {9108, &setWindowTitle, "set the window title"},
    {9109, &showWindow<6>, "minimise the window"},
    {9110, &showWindow<3>, "maximise the window"},
    {9111, &showWindow<1>, "restore the window"},
};

} // namespace

void registerWindowCommands(vm::Machine &m) {
    vm::registerCommands(m, kWindowCommands);
}

} // namespace display
