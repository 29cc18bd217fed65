#include "platform/large_pages.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace kormoszi {

void AdviseLargePages(void* data, std::size_t bytes) noexcept {
    // madvise wants whole pages: the ones that lie wholly inside the array.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (begin + page - 1) / page * page;
    const std::uintptr_t last = (begin + bytes) / page * page;
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

}  // namespace kormoszi
