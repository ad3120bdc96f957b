// The dispatch table: one handler pointer per command code, filled by each family's table.
#include <cstdlib>
#include <new>
#include "vm/core_instructions.h"
#include "vm/machine.h"

namespace vm {

void unknownCommand(Machine& m) {
    // The program ends silently; the counter stays on the unknown word so diagnostics can name it.
    m.pc -= 1;
    postQuit(m);
}

bool registerCommands(Machine& m, const CommandEntry* entries, size_t count) {
    for (size_t k = 0; k < count; ++k)
        if (entries[k].code < 1 || entries[k].code > kMaxCommandCode || entries[k].handler == nullptr) return false;
    // Install in order; a code already taken, by another family or earlier in this table, takes
    // back what this call installed, so a bad table changes nothing. The table itself finds the
    // duplicates: no entry is compared with every other one at every start.
    for (size_t k = 0; k < count; ++k) {
        Handler& slot = m.handlers[entries[k].code];
        if (slot != nullptr) {
            for (size_t j = 0; j < k; ++j) m.handlers[entries[j].code] = nullptr;
            return false;
        }
        slot = entries[k].handler;
    }
    for (size_t k = 0; k < count; ++k) m.meanings.add(entries[k].code, entries[k].meaning);
    return true;
}

void* Machine::operator new(size_t size) {
    void* memory = std::calloc(1, size);
    if (!memory) throw std::bad_alloc();
    return memory;
}

void Machine::operator delete(void* memory) noexcept { std::free(memory); }

std::unique_ptr<Machine> createMachine() {
    // Default-initialised on zeroed memory: every cell, reference and array entry reads as zero, and
    // every handler as nullptr (unknown).
    std::unique_ptr<Machine> m(new Machine);
    resetErrorTexts(*m);
    registerCoreInstructions(*m);
    return m;
}

}  // namespace vm
