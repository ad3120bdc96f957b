// Display cards and the 3D device kind: software 3D, the card list and choice, the T&L switch and
// the video memory queries. Every change re-creates the display at the requested mode.
#include <algorithm>
#include <climits>

#include "display/device_registry.h"
#include "display/display_device.h"
#include "display/display_families.h"
#include "display/query_output.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kWarningCardNotInUse = 9011;
constexpr int kErrorTextureMemory = 9012;
constexpr int kErrorVideoMemory = 9013;
constexpr size_t kMaxCardName = 255;

void recreateAtRequestedMode(vm::Machine &m, DisplayDevice &d) {
    d.recreate(m, d.requestedWidth, d.requestedHeight, d.requestedDepth);
}

template <bool DisplayDevice::*Flag, bool Value> void setDeviceFlag(vm::Machine &m) {
    if (DisplayDevice *device = deviceOf(m)) {
        device->*Flag = Value;
        recreateAtRequestedMode(m, *device);
    }
}

// 9003: each adapter's description, no values.
void listDisplayCards(vm::Machine &m) {
    QueryResult result;
    if (const DisplayDevice *device = deviceOf(m)) {
        result.valid = true;
        for (const Adapter &a : device->adapters())
            result.entries.push_back({{}, a.description});
    }
    publishQueryResult(m, std::move(result));
}

// 9004 name: use that card; a warning when the card in use afterwards is another one.
void setDisplayCard(vm::Machine &m) {
    const std::string name = std::string(vm::text(*m.pc[0].cell)).substr(0, kMaxCardName);
    m.pc += 1;
    DisplayDevice *device = deviceOf(m);
    if (!device)
        return;
    device->chosenCard = name;
    if (!device->recreate(m, device->requestedWidth, device->requestedHeight, device->requestedDepth))
        return;
    if (device->cardName != name)
        vm::raise(m, kWarningCardNotInUse);
}

// 9013: nothing is resident yet that could be evicted; textures come back on their next use.
void flushVideoMemory(vm::Machine &) {}

int32_t clampedBytes(uint64_t bytes) {
    return int32_t(std::min<uint64_t>(bytes, INT32_MAX));
}

template <uint64_t Adapter::*Memory, int Error> void memoryQuery(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    result.i = 0;
    const DisplayDevice *device = deviceOf(m);
    if (!device || !device->created)
        return vm::raise(m, Error);
    result.i = clampedBytes(device->adapters()[size_t(device->adapterInUse)].*Memory);
}

void softwareFlag(vm::Machine &m) {
    const DisplayDevice *device = deviceOf(m);
    m.pc[0].cell->i = device && device->emulation ? 1 : 0;
    m.pc += 1;
}

void cardInUse(vm::Machine &m) {
    const DisplayDevice *device = deviceOf(m);
    const std::string name = device ? device->cardName.substr(0, kMaxCardName) : std::string();
    vm::setString(*m.pc[0].cell, name);
    m.pc += 1;
}

void transformAndLighting(vm::Machine &m) {
    const DisplayDevice *device = deviceOf(m);
    m.pc[0].cell->i = device && device->kind == DeviceKind::TnL ? 1 : 0;
    m.pc += 1;
}

constexpr vm::CommandEntry kCardCommands[] = {
    {9001, &setDeviceFlag<&DisplayDevice::emulation, true>, "software 3D on, re-create the display"},
    {9002, &setDeviceFlag<&DisplayDevice::emulation, false>, "software 3D off, re-create the display"},
    {9003, &listDisplayCards, "fill the query list with the display cards"},
    {9004, &setDisplayCard, "use the named card, re-create the display"},
    {9011, &setDeviceFlag<&DisplayDevice::tnlAllowed, false>, "no hardware transform and lighting, re-create"},
    {9012, &setDeviceFlag<&DisplayDevice::tnlAllowed, true>, "hardware transform and lighting allowed, re-create"},
    {9013, &flushVideoMemory, "evict managed textures from video memory"},
    {9051, &memoryQuery<&Adapter::textureMemory, kErrorTextureMemory>, "free texture memory in bytes"},
    {9052, &memoryQuery<&Adapter::offscreenMemory, kErrorVideoMemory>, "free off-screen video memory in bytes"},
    {9054, &softwareFlag, "1 when software 3D is on"},
    {9055, &cardInUse, "name of the card in use"},
    {9056, &transformAndLighting, "1 when the 3D device transforms and lights in hardware"},
};

} // namespace

void registerCardCommands(vm::Machine &m) {
    vm::registerCommands(m, kCardCommands);
}

} // namespace display
