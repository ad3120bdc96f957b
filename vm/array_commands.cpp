// Arrays of one to five dimensions: create, release, store an element, read an element, and the
// ReferenceTable through which a later store into the read's temporary reaches the element.
//
// Only the linear index is checked (0 <= index < total); a subscript outside its own dimension is
// accepted while the linear index stays inside the array. The index is computed in 32-bit
// two's-complement arithmetic, so a wild subscript can only ever land inside the array or be refused.
#include <cstdlib>

#include "vm/array_access.h"
#include "vm/core_families.h"
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

// i1 + s1 * (i2 + s2 * (i3 + ...)), wrapping like the 32-bit machine words it is made of.
template <int K>
inline uint32_t linearIndex(const ArrayEntry& a, const Op* subscripts) {
    uint32_t index = static_cast<uint32_t>(subscripts[K - 1].cell->i);
    for (int j = K - 2; j >= 0; --j) {
        index = static_cast<uint32_t>(subscripts[j].cell->i) + static_cast<uint32_t>(a.sizes[j]) * index;
    }
    return index;
}

inline bool inside(const ArrayEntry& a, uint32_t index) { return index < static_cast<uint32_t>(a.total); }

inline void recordReference(Machine& m, const Cell* d, const ArrayEntry* a, uint32_t element) {
    const unsigned cell = static_cast<unsigned>(cellIndex(m, d));
    if (cell >= static_cast<unsigned>(kCellCount)) return;
    m.refs[cell].array = a ? static_cast<int16_t>(a - m.arrays) : int16_t{-1};
    m.refs[cell].element = static_cast<int32_t>(element);
}

// 561-580: v, i1 ... ik, x. A variable that is no array of this kind ignores the store.
template <ArrayKind Kind, bool FromInt, int K>
void storeElement(Machine& m) {
    const Op* p = m.pc;
    ArrayEntry* a = arrayOf(m, p[0].cell);
    if (a != nullptr && a->kind == Kind) {
        const uint32_t index = linearIndex<K>(*a, p + 1);
        const Cell& x = *p[1 + K].cell;
        if (!inside(*a, index)) {
            raise(m, 102);
        } else if constexpr (Kind == ArrayKind::Int) {
            static_cast<int32_t*>(a->storage)[index] = x.i;
        } else if constexpr (Kind == ArrayKind::Real) {
            static_cast<float*>(a->storage)[index] = FromInt ? static_cast<float>(x.i) : x.f;
        } else {
            char*& element = static_cast<char**>(a->storage)[index];
            const char* s = text(x);
            char* copy = newString(s, core::cappedLength(s));
            deleteString(element);
            element = copy;
        }
    }
    m.pc = p + 2 + K;
}

// 661-675: d, v, i1 ... ik.
template <ArrayKind Kind, int K>
void readElement(Machine& m) {
    const Op* p = m.pc;
    Cell& d = *p[0].cell;
    ArrayEntry* a = arrayOf(m, p[1].cell);
    if (a == nullptr || a->kind != Kind) {
        if constexpr (Kind == ArrayKind::String) {
            setString(d, "", 0);
        } else {
            d.i = 0;
        }
        recordReference(m, &d, nullptr, 0);  // a later store through d must not reach an old element
    } else {
        const uint32_t index = linearIndex<K>(*a, p + 2);
        if (!inside(*a, index)) {
            raise(m, 102);
        } else {
            if constexpr (Kind == ArrayKind::Int) {
                d.i = static_cast<int32_t*>(a->storage)[index];
            } else if constexpr (Kind == ArrayKind::Real) {
                d.f = static_cast<float*>(a->storage)[index];
            } else {
                const char* element = static_cast<char**>(a->storage)[index];
                if (element == nullptr) element = "";
                if (element != d.s) setString(d, element, core::cappedLength(element));
            }
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
    if (static_cast<unsigned>(r.array) >= static_cast<unsigned>(kVariableCellCount)) return nullptr;
    ArrayEntry& a = m.arrays[r.array];
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
    {561, &storeElement<K::Int, false, 1>, "store an integer element (1 subscript)"},
    {562, &storeElement<K::Int, false, 2>, "store an integer element (2 subscripts)"},
    {563, &storeElement<K::Int, false, 3>, "store an integer element (3 subscripts)"},
    {564, &storeElement<K::Int, false, 4>, "store an integer element (4 subscripts)"},
    {565, &storeElement<K::Int, false, 5>, "store an integer element (5 subscripts)"},
    {566, &storeElement<K::Real, false, 1>, "store a real element (1 subscript)"},
    {567, &storeElement<K::Real, false, 2>, "store a real element (2 subscripts)"},
    {568, &storeElement<K::Real, false, 3>, "store a real element (3 subscripts)"},
    {569, &storeElement<K::Real, false, 4>, "store a real element (4 subscripts)"},
    {570, &storeElement<K::Real, false, 5>, "store a real element (5 subscripts)"},
    {571, &storeElement<K::String, false, 1>, "store a string element (1 subscript)"},
    {572, &storeElement<K::String, false, 2>, "store a string element (2 subscripts)"},
    {573, &storeElement<K::String, false, 3>, "store a string element (3 subscripts)"},
    {574, &storeElement<K::String, false, 4>, "store a string element (4 subscripts)"},
    {575, &storeElement<K::String, false, 5>, "store a string element (5 subscripts)"},
    {576, &storeElement<K::Real, true, 1>, "store an integer into a real element (1 subscript)"},
    {577, &storeElement<K::Real, true, 2>, "store an integer into a real element (2 subscripts)"},
    {578, &storeElement<K::Real, true, 3>, "store an integer into a real element (3 subscripts)"},
    {579, &storeElement<K::Real, true, 4>, "store an integer into a real element (4 subscripts)"},
    {580, &storeElement<K::Real, true, 5>, "store an integer into a real element (5 subscripts)"},
    {661, &readElement<K::Int, 1>, "read an integer element (1 subscript)"},
    {662, &readElement<K::Int, 2>, "read an integer element (2 subscripts)"},
    {663, &readElement<K::Int, 3>, "read an integer element (3 subscripts)"},
    {664, &readElement<K::Int, 4>, "read an integer element (4 subscripts)"},
    {665, &readElement<K::Int, 5>, "read an integer element (5 subscripts)"},
    {666, &readElement<K::Real, 1>, "read a real element (1 subscript)"},
    {667, &readElement<K::Real, 2>, "read a real element (2 subscripts)"},
    {668, &readElement<K::Real, 3>, "read a real element (3 subscripts)"},
    {669, &readElement<K::Real, 4>, "read a real element (4 subscripts)"},
    {670, &readElement<K::Real, 5>, "read a real element (5 subscripts)"},
    {671, &readElement<K::String, 1>, "read a string element (1 subscript)"},
    {672, &readElement<K::String, 2>, "read a string element (2 subscripts)"},
    {673, &readElement<K::String, 3>, "read a string element (3 subscripts)"},
    {674, &readElement<K::String, 4>, "read a string element (4 subscripts)"},
    {675, &readElement<K::String, 5>, "read a string element (5 subscripts)"},
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
