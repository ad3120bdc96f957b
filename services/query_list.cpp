#include "services/query_list.h"

#include <algorithm>

#include "vm/machine.h"

namespace services {
namespace {

constexpr int kErrorEntryOutOfRange = 9001;
constexpr int kErrorEntryAboveCount = 9002;
constexpr int kErrorNoText = 9003;
constexpr int kErrorNoValues = 9004;
constexpr int kErrorNotFilled = 9005;

// The checks every entry read makes, in their order; 0 when the entry may be read.
int entryError(const QueryList &list, int32_t number, bool wantsText) {
    if (!list.filled())
        return kErrorNotFilled;
    // Every entry a filler can write is readable, the 512th included.
    if (number < 1 || number > QueryList::kCapacity)
        return kErrorEntryOutOfRange;
    if (wantsText ? !list.hasText() : !list.hasValues())
        return wantsText ? kErrorNoText : kErrorNoValues;
    if (number > list.count())
        return kErrorEntryAboveCount;
    return 0;
}

// 9501
void emptyQueryList(vm::Machine &m) {
    queryList().clear();
}

// 9551 result
void queryListCount(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    m.pc += 1;
    result.i = 0;
    if (!queryList().filled())
        return vm::raise(m, kErrorNotFilled);
    result.i = queryList().count();
}

// 9552 to 9555 result, entry
template <int Value> void queryListValue(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    const int32_t number = m.pc[1].cell->i;
    m.pc += 2;
    result.i = 0;
    if (int error = entryError(queryList(), number, false))
        return vm::raise(m, error);
    result.i = queryList().entry(number).values[Value];
}

// 9556 result, entry
void queryListText(vm::Machine &m) {
    vm::Cell &result = *m.pc[0].cell;
    const int32_t number = m.pc[1].cell->i;
    m.pc += 2;
    if (int error = entryError(queryList(), number, true)) {
        vm::setString(result, "", 0);
        return vm::raise(m, error);
    }
    vm::setString(result, queryList().entry(number).text);
}

constexpr vm::CommandEntry kQueryListCommands[] = {
    {9501, &emptyQueryList, "empty the query list"},
    {9551, &queryListCount, "number of entries in the query list"},
    {9552, &queryListValue<0>, "value a of a query list entry"},
    {9553, &queryListValue<1>, "value b of a query list entry"},
    {9554, &queryListValue<2>, "value c of a query list entry"},
    {9555, &queryListValue<3>, "value d of a query list entry"},
    {9556, &queryListText, "text of a query list entry"},
};

} // namespace

void QueryList::clear() {
    entries_.clear();
    count_ = 0;
    filled_ = hasValues_ = hasText_ = false;
}

void QueryList::begin(bool hasValues, bool hasText) {
    count_ = 0;
    filled_ = false;
    hasValues_ = hasValues;
    hasText_ = hasText;
}

bool QueryList::add(const std::string &text, int32_t a, int32_t b, int32_t c, int32_t d) {
    if (count_ >= kCapacity)
        return false;
    if (static_cast<size_t>(count_) == entries_.size())
        entries_.emplace_back();
    Entry &e = entries_[static_cast<size_t>(count_++)];
    e.text.assign(text, 0, std::min<size_t>(text.size(), vm::kMaxStringLength));
    e.values[0] = a;
    e.values[1] = b;
    e.values[2] = c;
    e.values[3] = d;
    return true;
}

const QueryList::Entry &QueryList::entry(int number) const {
    static const Entry kUnwritten;
    const size_t index = static_cast<size_t>(number - 1);
    return number >= 1 && index < entries_.size() ? entries_[index] : kUnwritten;
}

QueryList &queryList() {
    static QueryList list;
    return list;
}

void registerQueryListCommands(vm::Machine &m) {
    vm::registerCommands(m, kQueryListCommands);
    m.runStartHooks.push_back([](vm::Machine &) { queryList().clear(); });
}

} // namespace services
