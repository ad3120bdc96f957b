// How the process asks the system for memory.
#pragma once

#include <cstddef>
#include <new>

namespace platform {

// Large blocks (a screen, the machine's tables, the number maps) always come straight from the
// system as fresh zero pages. Zeroed requests then cost nothing until the memory is used: the
// C library would otherwise start serving them from its own reused memory after the first large
// block is freed, and clear every byte. Called once at the start of the process.
void keepLargeBlocksOnFreshPages();

// Blocks of at least this size are asked for in huge pages where the system offers them: filling
// a 2 MB page at once costs about as much as faulting in sixteen 4 KB pages one by one.
inline constexpr size_t kHugePageBlock = 64 * 1024;

// Memory for a buffer that is about to be filled from end to end (a compiled program's code and
// line tables), sized for what it will hold:
// a block of kHugePageBlock or more comes from its own mapping in 2 MB pages where the system
// allows it, so filling it costs one page fault per 2 MB instead of one per 4 KB (each costs about
// as much as clearing the page on a virtual machine). Smaller blocks come from malloc. Throws
// std::bad_alloc when there is no memory.
void* allocateFilledBlock(size_t bytes);
void releaseFilledBlock(void* block, size_t bytes) noexcept;

// A container allocator over allocateFilledBlock.
template <class T>
struct FilledBlockAllocator {
    using value_type = T;
    FilledBlockAllocator() = default;
    template <class U>
    FilledBlockAllocator(const FilledBlockAllocator<U>&) noexcept {}
    T* allocate(size_t n) {
        if (n > size_t(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(allocateFilledBlock(n * sizeof(T)));
    }
    void deallocate(T* p, size_t n) noexcept { releaseFilledBlock(p, n * sizeof(T)); }
    template <class U>
    bool operator==(const FilledBlockAllocator<U>&) const noexcept { return true; }
};

}  // namespace platform
