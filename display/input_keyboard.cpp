// The keyboard: key queries by scan code, the lowest pressed scan code, typed characters, the
// text-entry buffer and the waits for a key.
#include "display/input_families.h"
#include "display/input_state.h"
#include "host/entry_buffer.h"
#include "vm/machine.h"

namespace display {
namespace {

constexpr int kScanLeftControl = 29, kScanRightControl = 157;
constexpr int kScanLeftShift = 42, kScanRightShift = 54;

bool down(const InputState &s, int code) {
    return s.keys[code] != 0;
}

// 4501 to 4508, 4510 result: 1 while one of the keys is down.
template <int Code, int OtherCode = Code> void keyQuery(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    const InputState *s = freshInput(m);
    result.i = s && (down(*s, Code) || down(*s, OtherCode)) ? 1 : 0;
}

// 4509 result, scan code
void keyState(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    const int32_t code = m.pc[1].cell->i;
    m.pc += 2;
    const InputState *s = freshInput(m);
    result.i = s && code >= 0 && code < platform::kKeyCount && down(*s, code) ? 1 : 0;
}

// 250 result: the lowest scan code that is down, or 0; the next query reads the keyboard again.
void scanCode(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    result.i = 0;
    const InputState *s = freshInput(m);
    if (!s)
        return;
    for (int code = 0; code < platform::kKeyCount; ++code)
        if (down(*s, code)) {
            result.i = code;
            break;
        }
    m.inputRefresh = true;
}

// Without timed slices nothing else takes the window's messages, so a loop of character queries
// would never see a new one.
void pumpWhenUntimed(vm::Machine &m) {
    const InputState *s = inputOf(m);
    if (s && !m.timedSlices && s->pumpMessages)
        s->pumpMessages();
}

// 228 result: the last typed character as a string (empty when none); it is not cleared.
void inkey(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    pumpWhenUntimed(m);
    const char character = static_cast<char>(m.lastKey & 0xFF);
    vm::setString(result, &character, character ? 1 : 0);
}

// 428 result: everything typed since the buffer was cleared, as much as a string value holds.
void entryText(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    pumpWhenUntimed(m);
    const InputState *s = inputOf(m);
    if (!s || !s->entryBuffer)
        return vm::setString(result, "", 0);
    const std::string text = s->entryBuffer->text();
    vm::setString(result, text.data(), std::min<size_t>(text.size(), vm::kMaxStringLength));
}

// 429
void clearEntryBuffer(vm::Machine &m) {
    if (InputState *s = inputOf(m); s && s->entryBuffer)
        s->entryBuffer->clear();
}

// Runs a wait again next slice: the program counter goes back onto the command word and frames go on.
void waitAgain(vm::Machine &m) {
    m.pc -= 1;
    m.endSlice = true;
}

// A wait that completes once its condition was seen and has then gone again.
bool waitStep(int &state, bool present) {
    if (state == 0) {
        if (present)
            state = 1;
        return false;
    }
    if (present)
        return false;
    state = 0;
    return true;
}

// 263, 264: until a character arrived and was cleared by the next window message.
void waitForKey(vm::Machine &m) {
    InputState *s = inputOf(m);
    if (!s)
        return;
    if (!waitStep(s->waitKeyState, m.lastKey != 0))
        waitAgain(m);
}

constexpr vm::CommandEntry kKeyboardCommands[] = {
    {4501, &keyQuery<platform::kScanUp>, "1 while the up arrow is down"},
    {4502, &keyQuery<platform::kScanDown>, "1 while the down arrow is down"},
    {4503, &keyQuery<platform::kScanLeft>, "1 while the left arrow is down"},
    {4504, &keyQuery<platform::kScanRight>, "1 while the right arrow is down"},
    {4505, &keyQuery<kScanLeftControl, kScanRightControl>, "1 while either control key is down"},
    {4506, &keyQuery<kScanLeftShift, kScanRightShift>, "1 while either shift key is down"},
    {4507, &keyQuery<platform::kScanReturn>, "1 while return is down"},
    {4508, &keyQuery<platform::kScanSpace>, "1 while space is down"},
    {4509, &keyState, "1 while the key of a scan code is down"},
    {4510, &keyQuery<platform::kScanEscape>, "1 while escape is down"},
    {250, &scanCode, "the lowest scan code that is down"},
    {228, &inkey, "the last typed character"},
    {428, &entryText, "the text-entry buffer"},
    {429, &clearEntryBuffer, "clear the text-entry buffer"},
    {263, &waitForKey, "wait for a key"},
    {264, &waitForKey, "wait for a key"},
};

} // namespace

void registerKeyboardCommands(vm::Machine &m) {
    vm::registerCommands(m, kKeyboardCommands);
}

} // namespace display
