// The millisecond timer, local date and time, the command line and folders, and timed waits.
//
// Time reaches the machine only through nowMillis() and the platform; without a platform (unit
// tests) the date is 1 January 2000 and the time of day follows the machine's virtual clock.
#include <cstdio>

#include "platform/platform.h"
#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {
namespace {

platform::LocalTime localTime(Machine& m) {
    if (m.platform != nullptr) return m.platform->localTime();
    const uint32_t seconds = nowMillis(m) / 1000;
    platform::LocalTime t;
    t.hour = static_cast<int>(seconds / 3600 % 24);
    t.minute = static_cast<int>(seconds / 60 % 60);
    t.second = static_cast<int>(seconds % 60);
    return t;
}

void timer(Machine& m) {
    m.pc[0].cell->i = static_cast<int32_t>(nowMillis(m));
    m.pc += 1;
}

// 408: "MM/DD/YY"
void date(Machine& m) {
    const platform::LocalTime t = localTime(m);
    char out[32];
    const int n = std::snprintf(out, sizeof out, "%02d/%02d/%02d", t.month % 100, t.day % 100, t.year % 100);
    setString(*m.pc[0].cell, out, static_cast<size_t>(n));
    m.pc += 1;
}

// 409: "HH:MM:SS", hours 0 to 23
void timeOfDay(Machine& m) {
    const platform::LocalTime t = localTime(m);
    char out[32];
    const int n = std::snprintf(out, sizeof out, "%02d:%02d:%02d", t.hour % 100, t.minute % 100, t.second % 100);
    setString(*m.pc[0].cell, out, static_cast<size_t>(n));
    m.pc += 1;
}

template <std::string Machine::*Field>
void machineText(Machine& m) {
    const std::string& value = m.*Field;
    setString(*m.pc[0].cell, value.data(), std::min(value.size(), static_cast<size_t>(kMaxStringLength)));
    m.pc += 1;
}

// 255, 410: n — yields once per frame until the clock has passed the deadline.
void wait(Machine& m) {
    const double now = nowMillis(m);
    if (m.waitDeadline < 0) {
        m.waitDeadline = now + m.pc[0].cell->i;
        m.pc -= 1;  // back onto the command word: the wait runs again next slice
    } else if (now <= m.waitDeadline) {
        m.pc -= 1;
    } else {
        m.waitDeadline = -1;
        m.pc += 1;
    }
    m.endSlice = true;
}

constexpr CommandEntry kTimeBuiltins[] = {
    {260, &timer, "int d = the millisecond clock"},
    {408, &date, "str d = today's date, MM/DD/YY"},
    {409, &timeOfDay, "str d = the time, HH:MM:SS"},
    {211, &machineText<&Machine::commandLine>, "str d = the command line"},
    {426, &machineText<&Machine::executablePath>, "str d = the executable's full path"},
    {427, &machineText<&Machine::windowsFolder>, "str d = the Windows folder"},
    {255, &wait, "wait n milliseconds"},
    {410, &wait, "wait n milliseconds"},
};

}  // namespace

void registerTimeBuiltins(Machine& m) { registerCommands(m, kTimeBuiltins); }

}  // namespace vm
