#include <cstdio>
#include <string>

#include "platform/backend.h"

namespace platform {
namespace {
struct Name {
    EventType type;
    const char *name;
};
constexpr Name kNames[] = {
    {EventType::Quit, "quit"},           {EventType::KeyDown, "keydown"},     {EventType::KeyUp, "keyup"},
    {EventType::Character, "char"},      {EventType::MouseMove, "mousemove"}, {EventType::MouseDown, "mousedown"},
    {EventType::MouseUp, "mouseup"},     {EventType::MouseWheel, "wheel"},    {EventType::FocusGained, "focusgained"},
    {EventType::FocusLost, "focuslost"}, {EventType::Moved, "moved"},         {EventType::Resized, "resized"},
};
} // namespace

const char *eventTypeName(EventType type) {
    for (const auto &n : kNames)
        if (n.type == type)
            return n.name;
    return "none";
}

EventType eventTypeFromName(const std::string &name) {
    for (const auto &n : kNames)
        if (name == n.name)
            return n.type;
    return EventType::None;
}

void messageToStderr(const std::string &caption, const std::string &text) {
    std::string line = caption.empty() ? text : caption + ": " + text;
    if (line.empty() || line.back() != '\n')
        line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace platform
