#include "platform/LargeBlock.h"

#include <cstdint>
#include <new>
#include <sys/mman.h>
#include <utility>

namespace platform {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

} // namespace

TLargeBlock::TLargeBlock(TLargeBlock&& other) noexcept
    : data(std::exchange(other.data, nullptr)), size(std::exchange(other.size, 0)) {}

TLargeBlock& TLargeBlock::operator=(TLargeBlock&& other) noexcept {
    if (this != &other) {
        Free();
        data = std::exchange(other.data, nullptr);
        size = std::exchange(other.size, 0);
    }
    return *this;
}

// Maps whole huge pages at a huge page's boundary: the system puts a huge page
// only where one fits whole, so a mapping one larger is trimmed to it.
char* TLargeBlock::Reserve(std::size_t wanted) {
    if (wanted <= size) return data;
    Free();
    const std::size_t rounded = (wanted + HugePage - 1) / HugePage * HugePage;
    void* mapped = mmap(nullptr, rounded + HugePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    char* const start = static_cast<char*>(mapped);
    const std::size_t misalignment = reinterpret_cast<std::uintptr_t>(start) % HugePage;
    char* const aligned = start + (misalignment ? HugePage - misalignment : 0);
    if (aligned > start) munmap(start, std::size_t(aligned - start));
    munmap(aligned + rounded, std::size_t(start + rounded + HugePage - (aligned + rounded)));
    madvise(aligned, rounded, MADV_HUGEPAGE); // a hint: without huge pages it is small ones
    data = aligned;
    size = rounded;
    return data;
}

void TLargeBlock::Free() {
    if (data) munmap(data, size);
    data = nullptr;
    size = 0;
}

} // namespace platform
