// Arrays of one to five dimensions: create, release, store an element, read an element, and the
// ReferenceTable through which a later store into the read's temporary reaches the element.
//
// Only the linear index is checked (0 <= index < total); a subscript outside its own dimension is
// accepted while the linear index stays inside the array. The index is computed in 32-bit
// two's-complement arithmetic, so a wild subscript can only ever land inside the array or be refused.
#include <cstdlib>

#include "vm/array_access.h"
#include "vm/core_families.h"
#include "vm/core_ops.h"
#include "vm/core_support.h"

namespace vm {
namespace {

// Refused with error 101 beyond this: a 32-bit program could never have held more, and the request
// would only exhaust memory.
constexpr int64_t kMaxArrayElements = int64_t{1} << 28;

template <ArrayKind Kind>
constexpr size_t elementSize() {
    return Kind == ArrayKind::String ? sizeof(char*) : sizeof(int32_t);
}

template <ArrayKind Kind, int K>
void createArray(Machine& m) {
    const Op* p = m.pc;
    ArrayEntry* a = arrayOf(m, p[0].cell);
    int32_t sizes[5] = {0, 0, 0, 0, 0};
    int64_t total = 1;
    bool fits = a != nullptr;
    for (int j = 0; j < K && fits; ++j) {
        const int64_t size = int64_t{p[1 + j].cell->i} + 1;
        if (size < 0) fits = false;
        total *= size;
        if (total > kMaxArrayElements) fits = false;
        sizes[j] = static_cast<int32_t>(size);
    }
    void* storage = fits ? std::calloc(total > 0 ? static_cast<size_t>(total) : 1, elementSize<Kind>()) : nullptr;
    if (storage == nullptr) {
        raise(m, 101);  // the old array, if any, stays as it was
        m.pc = p + 1 + K;
        return;
    }
    releaseArray(*a);
    a->storage = storage;
    a->kind = Kind;
    for (int j = 0; j < 5; ++j) a->sizes[j] = sizes[j];
    a->total = static_cast<int32_t>(total);
    if constexpr (Kind == ArrayKind::String) freeString(*p[0].cell);  // elements start as no string
    m.pc = p + 1 + K;
}

template <ArrayKind Kind>
void releaseArrayCommand(Machine& m) {
    Cell& v = *m.pc[0].cell;
    if (ArrayEntry* a = arrayOf(m, &v)) releaseArray(*a);
    if constexpr (Kind == ArrayKind::String) {
        setString(v, "", 0);
    } else {
        v.i = 0;
    }
    m.pc += 1;
}

using core::inside;
using core::linearIndex;
using core::recordReference;

// 571-575: v, i1 ... ik, x — a copy of the string; a variable that is no string array ignores it.
template <int K>
void storeString(Machine& m) {
    const Op* p = m.pc;
    ArrayEntry* a = arrayOf(m, p[0].cell);
    if (a != nullptr && a->kind == ArrayKind::String) {
        const uint32_t index = linearIndex<K>(*a, p + 1);
        if (!inside(*a, index)) {
            raise(m, core::kIndexOutsideArray);
        } else {
            char*& element = static_cast<char**>(a->storage)[index];
            const char* s = text(*p[1 + K].cell);
            char* copy = newString(s, core::cappedLength(s));
            deleteString(element);
            element = copy;
        }
    }
    m.pc = p + 2 + K;
}

// 671-675: d, v, i1 ... ik — a copy of the element (no string reads as the empty string).
template <int K>
void readString(Machine& m) {
    const Op* p = m.pc;
    Cell& d = *p[0].cell;
    ArrayEntry* a = arrayOf(m, p[1].cell);
    if (a == nullptr || a->kind != ArrayKind::String) {
        setString(d, "", 0);
        recordReference(m, &d, nullptr, 0);
    } else {
        const uint32_t index = linearIndex<K>(*a, p + 2);
        if (!inside(*a, index)) {
            raise(m, core::kIndexOutsideArray);
        } else {
            const char* element = static_cast<char**>(a->storage)[index];
            if (element == nullptr) element = "";
            setString(d, element, core::cappedLength(element));
            recordReference(m, &d, a, index);
        }
    }
    m.pc = p + 2 + K;
}

template <ArrayKind Kind>
void* referencedElement(Machine& m, const Cell* temp) {
    const unsigned cell = static_cast<unsigned>(cellIndex(m, temp));
    if (cell >= static_cast<unsigned>(kIntVarBase)) return nullptr;
    const ElementRef& r = m.refs[cell];
    unsigned index = r.arraySlot - 1u;  // slot 0 (none) wraps past the table
    if (index >= static_cast<unsigned>(kVariableCellCount)) return nullptr;
    ArrayEntry& a = m.arrays[index];
    if (a.kind != Kind || !inside(a, static_cast<uint32_t>(r.element))) return nullptr;
    return static_cast<char*>(a.storage) + static_cast<size_t>(r.element) * elementSize<Kind>();
}

using K = ArrayKind;

constexpr CommandEntry kArrayCommands[] = {
    {501, &createArray<K::Int, 1>, "create an integer array of 1 dimension"},
    {502, &createArray<K::Int, 2>, "create an integer array of 2 dimensions"},
    {503, &createArray<K::Int, 3>, "create an integer array of 3 dimensions"},
    {504, &createArray<K::Int, 4>, "create an integer array of 4 dimensions"},
    {505, &createArray<K::Int, 5>, "create an integer array of 5 dimensions"},
    {506, &releaseArrayCommand<K::Int>, "release an integer array"},
    {511, &createArray<K::Real, 1>, "create a real array of 1 dimension"},
    {512, &createArray<K::Real, 2>, "create a real array of 2 dimensions"},
    {513, &createArray<K::Real, 3>, "create a real array of 3 dimensions"},
    {514, &createArray<K::Real, 4>, "create a real array of 4 dimensions"},
    {515, &createArray<K::Real, 5>, "create a real array of 5 dimensions"},
    {516, &releaseArrayCommand<K::Real>, "release a real array"},
    {521, &createArray<K::String, 1>, "create a string array of 1 dimension"},
    {522, &createArray<K::String, 2>, "create a string array of 2 dimensions"},
    {523, &createArray<K::String, 3>, "create a string array of 3 dimensions"},
    {524, &createArray<K::String, 4>, "create a string array of 4 dimensions"},
    {525, &createArray<K::String, 5>, "create a string array of 5 dimensions"},
    {526, &releaseArrayCommand<K::String>, "release a string array"},
    {561, &core::stepHandler<core::storeNumber<K::Int, false, 1>>, "store an integer element (1 subscript)"},
    {562, &core::stepHandler<core::storeNumber<K::Int, false, 2>>, "store an integer element (2 subscripts)"},
    {563, &core::stepHandler<core::storeNumber<K::Int, false, 3>>, "store an integer element (3 subscripts)"},
    {564, &core::stepHandler<core::storeNumber<K::Int, false, 4>>, "store an integer element (4 subscripts)"},
    {565, &core::stepHandler<core::storeNumber<K::Int, false, 5>>, "store an integer element (5 subscripts)"},
    {566, &core::stepHandler<core::storeNumber<K::Real, false, 1>>, "store a real element (1 subscript)"},
    {567, &core::stepHandler<core::storeNumber<K::Real, false, 2>>, "store a real element (2 subscripts)"},
    {568, &core::stepHandler<core::storeNumber<K::Real, false, 3>>, "store a real element (3 subscripts)"},
    {569, &core::stepHandler<core::storeNumber<K::Real, false, 4>>, "store a real element (4 subscripts)"},
    {570, &core::stepHandler<core::storeNumber<K::Real, false, 5>>, "store a real element (5 subscripts)"},
    {571, &storeString<1>, "store a string element (1 subscript)"},
    {572, &storeString<2>, "store a string element (2 subscripts)"},
    {573, &storeString<3>, "store a string element (3 subscripts)"},
    {574, &storeString<4>, "store a string element (4 subscripts)"},
    {575, &storeString<5>, "store a string element (5 subscripts)"},
    {576, &core::stepHandler<core::storeNumber<K::Real, true, 1>>, "store an integer into a real element (1 subscript)"},
    {577, &core::stepHandler<core::storeNumber<K::Real, true, 2>>, "store an integer into a real element (2 subscripts)"},
    {578, &core::stepHandler<core::storeNumber<K::Real, true, 3>>, "store an integer into a real element (3 subscripts)"},
    {579, &core::stepHandler<core::storeNumber<K::Real, true, 4>>, "store an integer into a real element (4 subscripts)"},
    {580, &core::stepHandler<core::storeNumber<K::Real, true, 5>>, "store an integer into a real element (5 subscripts)"},
    {661, &core::stepHandler<core::readNumber<K::Int, 1>>, "read an integer element (1 subscript)"},
    {662, &core::stepHandler<core::readNumber<K::Int, 2>>, "read an integer element (2 subscripts)"},
    {663, &core::stepHandler<core::readNumber<K::Int, 3>>, "read an integer element (3 subscripts)"},
    {664, &core::stepHandler<core::readNumber<K::Int, 4>>, "read an integer element (4 subscripts)"},
    {665, &core::stepHandler<core::readNumber<K::Int, 5>>, "read an integer element (5 subscripts)"},
    {666, &core::stepHandler<core::readNumber<K::Real, 1>>, "read a real element (1 subscript)"},
    {667, &core::stepHandler<core::readNumber<K::Real, 2>>, "read a real element (2 subscripts)"},
    {668, &core::stepHandler<core::readNumber<K::Real, 3>>, "read a real element (3 subscripts)"},
    {669, &core::stepHandler<core::readNumber<K::Real, 4>>, "read a real element (4 subscripts)"},
    {670, &core::stepHandler<core::readNumber<K::Real, 5>>, "read a real element (5 subscripts)"},
    {671, &readString<1>, "read a string element (1 subscript)"},
    {672, &readString<2>, "read a string element (2 subscripts)"},
    {673, &readString<3>, "read a string element (3 subscripts)"},
    {674, &readString<4>, "read a string element (4 subscripts)"},
    {675, &readString<5>, "read a string element (5 subscripts)"},
};

}  // namespace

int32_t* referencedInt(Machine& m, const Cell* temp) {
    return static_cast<int32_t*>(referencedElement<K::Int>(m, temp));
}
float* referencedReal(Machine& m, const Cell* temp) {
    return static_cast<float*>(referencedElement<K::Real>(m, temp));
}
char** referencedString(Machine& m, const Cell* temp) {
    return static_cast<char**>(referencedElement<K::String>(m, temp));
}

// A temporary that no element read filled keeps the value itself, so nothing is written at random.
void storeIntResult(Machine& m, Cell* d, int32_t value) {
    const int cell = cellIndex(m, d);
    if (core::isIntVariable(cell)) {
        d->i = value;
    } else if (core::isIntTemp(cell)) {
        int32_t* element = referencedInt(m, d);
        (element ? *element : d->i) = value;
    } else {
        d->i = 0;
    }
}

void storeRealResult(Machine& m, Cell* d, float value) {
    const int cell = cellIndex(m, d);
    if (core::isRealVariable(cell)) {
        d->f = value;
    } else if (core::isRealTemp(cell)) {
        float* element = referencedReal(m, d);
        (element ? *element : d->f) = value;
    } else {
        d->i = 0;
    }
}

void storeStringResult(Machine& m, Cell* d, const char* data, size_t length) {
    if (length > static_cast<size_t>(kMaxStringLength)) length = kMaxStringLength;
    const int cell = cellIndex(m, d);
    if (core::isStringVariable(cell)) {
        setString(*d, data, length);
    } else if (core::isStringTemp(cell)) {
        if (char** element = referencedString(m, d)) {
            char* copy = newString(data, length);
            deleteString(*element);
            *element = copy;
        } else {
            setString(*d, data, length);
        }
    } else if (d->s != nullptr) {
        setString(*d, "", 0);  // only cells that hold strings; a number cell is left alone
    }
}

void registerArrayCommands(Machine& m) { registerCommands(m, kArrayCommands); }

}  // namespace vm
