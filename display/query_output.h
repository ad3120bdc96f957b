// Where the display's enumerations (modes, cards) put their results. The shared query list is
// owned elsewhere; until a writer is installed the device keeps the last result itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vm {
struct Machine;
}

namespace display {

constexpr size_t kQueryListCapacity = 512;

struct QueryEntry {
    std::vector<int32_t> values; // empty: the entry has no values
    std::string text;
};

struct QueryResult {
    bool valid = false;
    std::vector<QueryEntry> entries; // at most kQueryListCapacity
};

using QueryListWriter = void (*)(vm::Machine &m, const QueryResult &result);
// Installs the query list's writer (nullptr: keep results in the device only).
void setQueryListWriter(QueryListWriter writer);
// Hands a result to the writer and keeps it as the device's last result.
void publishQueryResult(vm::Machine &m, QueryResult result);
// The last result published for this machine (what the query list would hold).
const QueryResult &lastQueryResult(const vm::Machine &m);

} // namespace display
