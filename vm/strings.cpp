// Heap strings of cells and array elements: one allocation per value, exactly length + 1 bytes.
#include <cstdlib>
#include <cstring>
#include <new>

#include "vm/machine.h"

namespace vm {

char* newString(const char* data, size_t length) {
    char* s = static_cast<char*>(std::malloc(length + 1));
    if (!s) throw std::bad_alloc();  // becomes system error 10010 at the slice boundary
    if (length) std::memcpy(s, data, length);
    s[length] = '\0';
    return s;
}

void deleteString(char* s) { std::free(s); }

void setString(Cell& c, const char* data, size_t length) {
    // Allocate first: the source may be the cell's own string.
    char* fresh = newString(data, length);
    deleteString(c.s);
    c.s = fresh;
}

void setString(Cell& c, const std::string& value) { setString(c, value.data(), value.size()); }

void freeString(Cell& c) {
    deleteString(c.s);
    c.s = nullptr;
}

void releaseArray(ArrayEntry& a) {
    if (a.kind == ArrayKind::String && a.storage) {
        char** elements = static_cast<char**>(a.storage);
        for (int32_t k = 0; k < a.total; ++k) deleteString(elements[k]);
    }
    std::free(a.storage);
    a = ArrayEntry{};
}

}  // namespace vm
