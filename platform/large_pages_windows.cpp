#include "platform/large_pages.h"

namespace kormoszi {

// Large pages on Windows need the "Lock pages in memory" privilege, which a user seldom
// has: the plain allocator serves there.
void AdviseLargePages(void*, std::size_t) noexcept {}

}  // namespace kormoszi
