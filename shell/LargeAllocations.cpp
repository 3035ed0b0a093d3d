#include "LargeAllocations.h"

#include <malloc.h>

namespace velmora {

void ReuseLargeAllocations() {
#if defined(__GLIBC__)
    // Blocks up to 128 MiB come from the heap (the default moves between 128 KiB and 32 MiB),
    // and up to 256 MiB of free heap stays mapped; what the program holds otherwise is far
    // below both.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    // One heap for all threads: the page is rasterised on the office worker and shown on the
    // windows' thread, and a heap of the worker's own would keep its freed blocks where the
    // windows cannot reuse them (30 MiB more at the peak, measured with the user-wait bench).
    mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace velmora
