#include "host/families.h"

#include "display/input_hookup.h"
#include "display/query_output.h"
#include "services/query_list.h"

namespace host {
namespace {

// The display's enumerations (modes, cards) hand their results to the shared query list.
void writeDisplayResult(vm::Machine &, const display::QueryResult &result) {
    services::QueryList &list = services::queryList();
    bool hasValues = false;
    for (const auto &entry : result.entries)
        hasValues = hasValues || !entry.values.empty();
    list.begin(hasValues, true);
    for (const auto &entry : result.entries) {
        int32_t v[4] = {0, 0, 0, 0};
        for (size_t k = 0; k < entry.values.size() && k < 4; ++k)
            v[k] = entry.values[k];
        if (!list.add(entry.text, v[0], v[1], v[2], v[3]))
            break;
    }
    list.setFilled(result.valid);
}

void registerQueryList(vm::Machine &m) {
    services::registerQueryListCommands(m);
    display::setQueryListWriter(&writeDisplayResult);
}

} // namespace

const std::vector<CommandFamily> &commandFamilies() {
    // The core instructions are registered by vm::createMachine(); the library families
    // (display, input, 3D, sound, files, system) are listed here as they arrive.
    static const std::vector<CommandFamily> families = {
        {"query list", &registerQueryList, nullptr},
        {"input", &display::registerInputCommands, &display::attachInput},
    };
    return families;
}

} // namespace host
