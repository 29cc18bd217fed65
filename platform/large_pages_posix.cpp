#include "platform/large_pages.h"

#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace kormoszi {

void AdviseLargePages(void* data, std::size_t bytes) noexcept {
    // madvise wants whole pages: the ones that lie wholly inside the array.
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    const std::size_t lead = (page - reinterpret_cast<std::uintptr_t>(data) % page) % page;
    if (bytes <= lead)
        return;
    const std::size_t length = (bytes - lead) / page * page;
    if (length > 0)
        madvise(static_cast<char*>(data) + lead, length, MADV_HUGEPAGE);
}

}  // namespace kormoszi
