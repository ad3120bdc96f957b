// Screen refresh: ending the slice, manual and automatic refresh, the frame rate, and the queries
// of what the last 3D device made can do.
#include "display/device_registry.h"
#include "display/display_device.h"
#include "display/display_families.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kErrorBadFrameRate = 112;
constexpr int kMaxFrameRate = 1000;

// 259: the next frame is drawn and presented now.
void refresh(vm::Machine &m) {
    m.endSlice = true;
}

// 403: the program refreshes the screen itself.
void manualRefresh(vm::Machine &m) {
    m.autoRefresh = false;
    m.timedSlices = false;
    m.endSlice = true;
}

// 404: slices are timed and drawing asks for a frame.
void automaticRefresh(vm::Machine &m) {
    m.autoRefresh = true;
    m.timedSlices = true;
    m.endSlice = true;
}

// 407 rate: frame interval = trunc(1000 / rate) ms; 0 removes the limit.
void setFrameRate(vm::Machine &m) {
    const int32_t rate = m.pc[0].cell->i;
    m.pc += 1;
    if (rate < 0 || rate > kMaxFrameRate) {
        vm::raise(m, kErrorBadFrameRate);
        return;
    }
    m.frameIntervalMs = rate == 0 ? 0 : 1000 / rate;
}

template <bool (*Query)(const DisplayDevice &)> void capabilityQuery(vm::Machine &m) {
    const DisplayDevice *device = deviceOf(m);
    m.pc[0].cell->i = device && Query(*device) ? 1 : 0;
    m.pc += 1;
}

bool alphaBlending(const DisplayDevice &d) {
    return d.caps().ghostBlendMode != 0;
}
bool textureFiltering(const DisplayDevice &d) {
    return d.caps().textureFilterMode != 0;
}
bool fog(const DisplayDevice &d) {
    return d.caps().fogAvailable;
}
bool displayMade(const DisplayDevice &d) {
    return displayObjectEverMade();
}

constexpr vm::CommandEntry kRefreshCommands[] = {
    {259, &refresh, "end the slice: draw and present the next frame"},
    {403, &manualRefresh, "manual refresh: untimed slices, drawing does not end the slice"},
    {404, &automaticRefresh, "automatic refresh: timed slices, drawing ends the slice"},
    {407, &setFrameRate, "frame interval = 1000 / rate ms (0: no limit)"},
    {7981, &capabilityQuery<&alphaBlending>, "1 when the 3D device can blend"},
    {7982, &capabilityQuery<&textureFiltering>, "1 when the 3D device filters textures"},
    {7983, &capabilityQuery<&fog>, "1 when the 3D device has fog"},
    {7984, &capabilityQuery<&displayMade>, "1 once a display was created"},
};

} // namespace

void registerRefreshCommands(vm::Machine &m) {
    vm::registerCommands(m, kRefreshCommands);
}

} // namespace display
