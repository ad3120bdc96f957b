// The command families outside the interpreter's core, in one list. The host registers each
// family's commands in a new machine and lets it attach its hooks (frame steps, input polling,
// activation, releases) before start-up goes on. A new family adds one line to the list in
// families.cpp; nothing else in the host changes.
#pragma once

#include <vector>

namespace vm {
struct Machine;
}

namespace host {

class Host;

struct CommandFamily {
    const char *name;
    void (*registerCommands)(vm::Machine &m); // installs the family's command table
    void (*attach)(Host &host);               // adds the family's hooks; may be nullptr
};

const std::vector<CommandFamily> &commandFamilies();

} // namespace host
