// The variables of one type by name, scope and array mark: an open-addressed table of variable
// numbers. The symbols themselves are the keys, so a look-up builds no key and compares only names
// that hash alike.
#pragma once

#include "compiler/text_hash.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace compiler {

struct VariableSymbol {
    std::string name;
    int scope = 0;
    bool array = false;
    int line = 0;
};

class VariableTable {
public:
    // The variable's number (its place in `symbols`), -1 when there is none.
    int32_t find(std::string_view name, int scope, bool array, const std::vector<VariableSymbol>& symbols) const;
    // Files the symbol just appended to `symbols`.
    void addLast(const std::vector<VariableSymbol>& symbols);

private:
    static size_t hashOf(std::string_view name, int scope, bool array) {
        uint64_t hash = TextHash()(name);
        hash ^= (static_cast<uint64_t>(static_cast<uint32_t>(scope)) << 1 | (array ? 1 : 0)) * 0x9E3779B97F4A7C15ull;
        // Fold the high bits in: the slot is taken from the low ones.
        hash ^= hash >> 29;
        hash *= 0xBF58476D1CE4E5B9ull;
        hash ^= hash >> 32;
        return static_cast<size_t>(hash);
    }
    void place(int32_t number, const std::vector<VariableSymbol>& symbols);

    std::vector<int32_t> slots_;  // variable number + 1; 0 marks a free slot. The size is a power of two.
};

}  // namespace compiler
