#include "platform/memory_tuning.h"

#include <malloc.h>

namespace platform {

void keepLargeBlocksOnFreshPages() {
    // Setting the threshold fixes it: the C library no longer raises it after large frees.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
}

} // namespace platform
