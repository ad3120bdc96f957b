#include "platform/memory_tuning.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>

namespace platform {

namespace {

constexpr size_t kHugePage = 2 * 1024 * 1024;

size_t roundUp(size_t value, size_t step) { return (value + step - 1) / step * step; }

}  // namespace

void keepLargeBlocksOnFreshPages() {
    // Setting the threshold fixes it: the C library no longer raises it after large frees.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

void* allocateFilledBlock(size_t bytes) {
    if (bytes < kHugePageBlock) {
        void* block = std::malloc(bytes == 0 ? 1 : bytes);
        if (!block) throw std::bad_alloc();
        return block;
    }
    // Mapped with a huge page's room to spare, then trimmed to a huge-page-aligned start: huge pages
    // only back aligned 2 MB spans.
    const size_t length = roundUp(bytes, kHugePage);
    void* mapped = ::mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const uintptr_t start = reinterpret_cast<uintptr_t>(mapped);
    const uintptr_t aligned = roundUp(start, kHugePage);
    if (aligned > start) ::munmap(mapped, aligned - start);
    const uintptr_t end = aligned + length;
    const uintptr_t mappedEnd = start + length + kHugePage;
    if (mappedEnd > end) ::munmap(reinterpret_cast<void*>(end), mappedEnd - end);
    ::madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);  // a hint: refused, it is plain pages
    return reinterpret_cast<void*>(aligned);
}

void releaseFilledBlock(void* block, size_t bytes) noexcept {
    if (!block) return;
    if (bytes < kHugePageBlock) {
        std::free(block);
        return;
    }
    ::munmap(block, roundUp(bytes, kHugePage));
}

}  // namespace platform
