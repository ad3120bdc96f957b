#include "display/query_output.h"

#include <map>
#include <mutex>

namespace display {
namespace {
std::mutex outputLock;
QueryListWriter installedWriter = nullptr;
std::map<const vm::Machine *, QueryResult> lastResults;
} // namespace

void setQueryListWriter(QueryListWriter writer) {
    std::lock_guard<std::mutex> guard(outputLock);
    installedWriter = writer;
}

void publishQueryResult(vm::Machine &m, QueryResult result) {
    if (result.entries.size() > kQueryListCapacity)
        result.entries.resize(kQueryListCapacity);
    QueryListWriter writer;
    {
        std::lock_guard<std::mutex> guard(outputLock);
        writer = installedWriter;
        lastResults[&m] = result;
    }
    if (writer)
        writer(m, result);
}

const QueryResult &lastQueryResult(const vm::Machine &m) {
    static const QueryResult empty;
    std::lock_guard<std::mutex> guard(outputLock);
    auto it = lastResults.find(&m);
    return it == lastResults.end() ? empty : it->second;
}

} // namespace display
