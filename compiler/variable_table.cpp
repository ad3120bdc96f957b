#include "compiler/variable_table.h"

namespace compiler {

int32_t VariableTable::find(std::string_view name, int scope, bool array,
                            const std::vector<VariableSymbol>& symbols) const {
    if (slots_.empty()) return -1;
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hashOf(name, scope, array) & mask;; slot = (slot + 1) & mask) {
        int32_t entry = slots_[slot];
        if (entry == 0) return -1;
        const VariableSymbol& symbol = symbols[entry - 1];
        if (symbol.scope == scope && symbol.array == array && symbol.name == name) return entry - 1;
    }
}

void VariableTable::place(int32_t number, const std::vector<VariableSymbol>& symbols) {
    const VariableSymbol& symbol = symbols[number];
    const size_t mask = slots_.size() - 1;
    size_t slot = hashOf(symbol.name, symbol.scope, symbol.array) & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = number + 1;
}

void VariableTable::addLast(const std::vector<VariableSymbol>& symbols) {
    if (symbols.size() * 2 > slots_.size()) {
        // At most half full, so that probes stay short: rebuild at four times the count.
        size_t size = 64;
        while (size < symbols.size() * 4) size *= 2;
        slots_.assign(size, 0);
        for (size_t k = 0; k < symbols.size(); ++k) place(static_cast<int32_t>(k), symbols);
        return;
    }
    place(static_cast<int32_t>(symbols.size() - 1), symbols);
}

}  // namespace compiler
