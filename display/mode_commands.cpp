// Display modes: the list, setting and checking a mode, the screen queries and gamma.
#include <cstdio>

#include "display/device_registry.h"
#include "display/display_device.h"
#include "display/display_families.h"
#include "display/query_output.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kErrorBadSize = 1501;
constexpr int kErrorBadDepth = 1502;
constexpr int kErrorBadGamma = 1014;
constexpr int kMaxGamma = 511;

bool validDepth(int32_t depth) {
    return depth == 16 || depth == 24 || depth == 32;
}

// 1500: the modes with more than 15 bits per pixel, as values and as "WxHxD".
void listDisplayModes(vm::Machine &m) {
    QueryResult result;
    if (const DisplayDevice *device = deviceOf(m)) {
        result.valid = true;
        for (const DisplayMode &mode : device->modes()) {
            char text[48];
            std::snprintf(text, sizeof text, "%dx%dx%d", mode.width, mode.height, mode.depth);
            result.entries.push_back({{mode.width, mode.height, mode.depth}, text});
        }
    }
    publishQueryResult(m, std::move(result));
}

// 1501 width, height, depth.
void setDisplayMode(vm::Machine &m) {
    const int32_t width = m.pc[0].cell->i, height = m.pc[1].cell->i, depth = m.pc[2].cell->i;
    m.pc += 3;
    if (!validDepth(depth))
        return vm::raise(m, kErrorBadDepth);
    if (width <= 0 || height <= 0)
        return vm::raise(m, kErrorBadSize);
    if (DisplayDevice *device = deviceOf(m))
        device->recreate(m, width, height, depth);
}

template <int32_t (*Query)(DisplayDevice &)> void screenQuery(vm::Machine &m) {
    DisplayDevice *device = deviceOf(m);
    m.pc[0].cell->i = device ? Query(*device) : 0;
    m.pc += 1;
}

int32_t requestedWidth(DisplayDevice &d) {
    return d.requestedWidth;
}
int32_t requestedHeight(DisplayDevice &d) {
    return d.requestedHeight;
}
int32_t requestedDepth(DisplayDevice &d) {
    return d.requestedDepth;
}
int32_t inVideoMemory(DisplayDevice &d) {
    return d.systemMemory ? 0 : 1;
}
int32_t framesPerSecond(DisplayDevice &d) {
    return d.framesPerSecond;
}
// Reading the flag clears it: the program sees each loss or re-creation once.
int32_t screenInvalid(DisplayDevice &d) {
    const bool was = d.screenInvalid;
    d.screenInvalid = false;
    return was ? 1 : 0;
}

// 1571 result, width, height, depth: 1 when the display offers the mode.
void checkDisplayMode(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    const int32_t width = m.pc[1].cell->i, height = m.pc[2].cell->i, depth = m.pc[3].cell->i;
    m.pc += 4;
    result.i = 0;
    if (!validDepth(depth))
        return vm::raise(m, kErrorBadDepth);
    if (width == 0 || height == 0)
        return vm::raise(m, kErrorBadSize);
    if (const DisplayDevice *device = deviceOf(m))
        result.i = device->modeOffered({width, height, depth}) ? 1 : 0;
}

// 1014 red, green, blue: 256 is the identity, 0 black, 511 full.
void setGamma(vm::Machine &m) {
    const int32_t red = m.pc[0].cell->i, green = m.pc[1].cell->i, blue = m.pc[2].cell->i;
    m.pc += 3;
    for (int32_t v : {red, green, blue})
        if (v < 0 || v > kMaxGamma)
            return vm::raise(m, kErrorBadGamma);
    DisplayDevice *device = deviceOf(m);
    if (device && device->gammaSupported)
        device->setGamma(red, green, blue);
}

constexpr vm::CommandEntry kModeCommands[] = {
    {1500, &listDisplayModes, "fill the query list with the display modes"},
    {1501, &setDisplayMode, "set the display mode and re-create the display"},
    {1551, &screenQuery<&requestedWidth>, "requested screen width"},
    {1552, &screenQuery<&requestedHeight>, "requested screen height"},
    {1553, &screenQuery<&requestedDepth>, "requested screen depth"},
    {1554, &screenQuery<&inVideoMemory>, "1 when the surfaces are in video memory"},
    {1555, &screenQuery<&framesPerSecond>, "frames per second"},
    {1556, &screenQuery<&screenInvalid>, "1 once after the display was lost or re-created"},
    {1571, &checkDisplayMode, "1 when the display offers the mode"},
    {1014, &setGamma, "set the gamma ramps"},
};

} // namespace

void registerModeCommands(vm::Machine &m) {
    vm::registerCommands(m, kModeCommands);
}

} // namespace display
