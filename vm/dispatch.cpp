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
    if (m.handlerCount + count > static_cast<size_t>(kMaxHandlers)) return false;
    // Install in order; a code already taken, by another family or earlier in this table, takes
    // back what this call installed, so a bad table changes nothing. The table itself finds the
    // duplicates: no entry is compared with every other one at every start.
    const uint16_t firstSlot = m.handlerCount;
    for (size_t k = 0; k < count; ++k) {
        uint16_t& index = m.handlerIndex[entries[k].code];
        if (index != 0) {
            for (size_t j = 0; j < k; ++j) m.handlerIndex[entries[j].code] = 0;
            for (uint16_t slot = firstSlot + 1; slot <= m.handlerCount; ++slot) m.handlerList[slot] = nullptr;
            m.handlerCount = firstSlot;
            return false;
        }
        m.handlerList[++m.handlerCount] = entries[k].handler;
        index = m.handlerCount;
    }
    for (size_t k = 0; k < count; ++k) m.meanings.add(entries[k].code, entries[k].meaning);
    return true;
}

bool setHandler(Machine& m, int code, Handler handler) {
    if (code < 1 || code > kMaxCommandCode) return false;
    uint16_t& index = m.handlerIndex[code];
    if (handler == nullptr) {
        index = 0;
        return true;
    }
    if (index == 0) {
        if (m.handlerCount >= kMaxHandlers) return false;
        index = ++m.handlerCount;
    }
    m.handlerList[index] = handler;
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
    m->meanings.reserve(1024);  // every family's commands together, with room to grow
    resetErrorTexts(*m);
    registerCoreInstructions(*m);
    return m;
}

}  // namespace vm
