// The variables of one type by name, scope and array mark: an open-addressed table of variable
// numbers. The symbols themselves are the keys, so a look-up builds no key and compares only names
// that hash alike.
#pragma once

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
    static size_t hashOf(std::string_view name, int scope, bool array);
    void place(int32_t number, const std::vector<VariableSymbol>& symbols);

    std::vector<int32_t> slots_;  // variable number + 1; 0 marks a free slot. The size is a power of two.
};

}  // namespace compiler
