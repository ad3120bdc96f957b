// The dispatch table: one handler pointer per command code, filled by each family's table.
#include "vm/core_instructions.h"
#include "vm/machine.h"

namespace vm {

void unknownCommand(Machine& m) {
    // The program ends silently; the counter stays on the unknown word so diagnostics can name it.
    m.pc -= 1;
    postQuit(m);
}

bool registerCommands(Machine& m, const CommandEntry* entries, size_t count) {
    // Check the whole table before installing any entry, so a bad table changes nothing.
    for (size_t k = 0; k < count; ++k) {
        int code = entries[k].code;
        if (code < 1 || code > kMaxCommandCode || entries[k].handler == nullptr) return false;
        if (m.handlers[code] != &unknownCommand) return false;
        for (size_t j = 0; j < k; ++j)
            if (entries[j].code == code) return false;
    }
    for (size_t k = 0; k < count; ++k) {
        m.handlers[entries[k].code] = entries[k].handler;
        m.meanings[entries[k].code] = entries[k].meaning;
    }
    return true;
}

std::unique_ptr<Machine> createMachine() {
    auto m = std::make_unique<Machine>();  // value-initialised: every cell zero, every string null
    for (Handler& h : m->handlers) h = &unknownCommand;
    resetErrorTexts(*m);
    registerCoreInstructions(*m);
    return m;
}

}  // namespace vm
