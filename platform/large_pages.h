#pragma once
// Memory for the core's big arrays: a million records, their sort keys, a sort's scratch.
// Where the system has large pages, they are asked for: one page-table entry then maps
// 2 MB instead of 4 KB, so filling an array touches a few hundred entries instead of
// thousands, and a walk in sort order misses the translation cache far less. Under a
// hypervisor that keeps shadow page tables each new small page costs microseconds, which
// was most of a million-word load.

#include <cstddef>
#include <memory>
#include <new>
#include <vector>

namespace kormoszi {

// Arrays at least this large are worth large pages.
inline constexpr std::size_t kLargePageBytes = std::size_t{2} << 20;

// Asks for large pages behind the bytes at data, before they are first touched. Only a
// hint: nothing changes where the system has none or refuses.
void AdviseLargePages(void* data, std::size_t bytes) noexcept;

// std::allocator, with the hint for large arrays.
template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}  // NOLINT(google-explicit-constructor)

    T* allocate(std::size_t n) {
        T* p = std::allocator<T>().allocate(n);
        if (n * sizeof(T) >= kLargePageBytes)
            AdviseLargePages(p, n * sizeof(T));
        return p;
    }
    void deallocate(T* p, std::size_t n) noexcept { std::allocator<T>().deallocate(p, n); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept {
        return true;
    }
};

template <class T>
using LargeVector = std::vector<T, LargeAllocator<T>>;

}  // namespace kormoszi
