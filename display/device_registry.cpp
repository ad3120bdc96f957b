#include "display/device_registry.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

namespace display {
namespace {

// A handful of entries at most: a linear search is the fastest look-up there is.
std::mutex registryLock;
std::vector<std::pair<const vm::Machine *, DisplayDevice *>> bindings;

} // namespace

void bindDevice(vm::Machine &m, DisplayDevice *device) {
    std::lock_guard<std::mutex> guard(registryLock);
    std::erase_if(bindings, [&](const auto &b) { return b.first == &m; });
    if (device)
        bindings.emplace_back(&m, device);
}

DisplayDevice *deviceOf(const vm::Machine &m) {
    std::lock_guard<std::mutex> guard(registryLock);
    for (const auto &b : bindings)
        if (b.first == &m)
            return b.second;
    return nullptr;
}

} // namespace display
