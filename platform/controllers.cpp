#include "platform/controllers.h"

namespace platform {

const char *forceKindName(ForceKind kind) {
    switch (kind) {
    case ForceKind::Constant:
        return "constant";
    case ForceKind::Sine:
        return "sine";
    case ForceKind::Triangle:
        return "triangle";
    case ForceKind::SawtoothUp:
        return "sawtooth-up";
    case ForceKind::SawtoothDown:
        return "sawtooth-down";
    case ForceKind::Damper:
        return "damper";
    }
    return "unknown";
}

} // namespace platform
