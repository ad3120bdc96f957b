// DATA items: restore the DataPointer and read the item it designates.
//
// A read whose item is of another kind gives 0 (or the empty string) and still advances; reading
// past the last item gives the same each time and the pointer stays at the end.
#include "vm/array_access.h"
#include "vm/core_families.h"
#include "vm/core_support.h"

namespace vm {
namespace {

void restoreToPosition(Machine& m) {
    m.dataPointer = m.pc[0].n;
    m.pc += 1;
}

void restore(Machine& m) { m.dataPointer = 0; }

// The item at the DataPointer when it exists and is of `kind`; nullptr otherwise.
const Cell* itemOfKind(const Machine& m, char kind) {
    const Program& p = m.program;
    const int32_t position = m.dataPointer;
    if (position < 0 || position >= p.dataCount || position >= static_cast<int32_t>(p.dataTypes.size()) ||
        position >= kUnaddressedBase - kDataBase) {
        return nullptr;
    }
    if (p.dataTypes[position] != static_cast<uint8_t>(kind)) return nullptr;
    return &m.cells[kDataBase + position];
}

void advance(Machine& m) {
    if (m.dataPointer < m.program.dataCount) ++m.dataPointer;
}

void readInt(Machine& m) {
    Cell* d = m.pc[0].cell;
    if (const Cell* item = itemOfKind(m, 'l')) {
        storeIntResult(m, d, item->i);
    } else {
        d->i = 0;
    }
    advance(m);
    m.pc += 1;
}

void readReal(Machine& m) {
    Cell* d = m.pc[0].cell;
    if (const Cell* item = itemOfKind(m, 'f')) {
        storeRealResult(m, d, item->f);
    } else {
        d->f = 0.0f;
    }
    advance(m);
    m.pc += 1;
}

void readString(Machine& m) {
    Cell* d = m.pc[0].cell;
    if (const Cell* item = itemOfKind(m, 's')) {
        const char* s = text(*item);
        storeStringResult(m, d, s, core::cappedLength(s));
    } else {
        const int cell = cellIndex(m, d);
        if (core::isStringTemp(cell) || core::isStringVariable(cell) || d->s) setString(*d, "", 0);
    }
    advance(m);
    m.pc += 1;
}

constexpr CommandEntry kDataCommands[] = {
    {31, &restoreToPosition, "restore to a DATA position"},
    {32, &restore, "restore to the first DATA item"},
    {33, &readInt, "read an integer DATA item"},
    {34, &readReal, "read a real DATA item"},
    {35, &readString, "read a string DATA item"},
};

}  // namespace

void registerDataCommands(Machine& m) { registerCommands(m, kDataCommands); }

}  // namespace vm
