#include "kernels/square_matrix.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pmedian {

void fault_in_pages([[maybe_unused]] void* start, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__)
    constexpr int populate_write = 23;  // MADV_POPULATE_WRITE, Linux 5.14, not in older headers
    constexpr std::uintptr_t page = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(start) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(page - 1);
    if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, populate_write);
#endif
}

void* allocate_zeroed_block(std::size_t bytes) {
    // calloc hands back zeroed pages lazily. Small pages, not huge ones: on a
    // virtual machine that hands freed memory back to its host, faulting
    // huge pages in again cost more than their address cache saved.
    return std::calloc(bytes, 1);
}

}  // namespace pmedian
