// A block of memory for large reads (VirtualAlloc on Windows), taken from the
// system in whole huge pages where it has them: the first read into it then
// costs one page fault, where 4 KB pages cost one each, and on a virtual
// machine a fault can cost as much as copying 20 KB.
#pragma once

#include <cstddef>

namespace platform {

class TLargeBlock {
public:
    TLargeBlock() = default;
    ~TLargeBlock() { Free(); }
    TLargeBlock(TLargeBlock&& other) noexcept;
    TLargeBlock& operator=(TLargeBlock&& other) noexcept;
    TLargeBlock(const TLargeBlock&) = delete;
    TLargeBlock& operator=(const TLargeBlock&) = delete;

    // Room for at least size bytes; the bytes held are lost when it grows.
    // Throws std::bad_alloc when the system has no memory for it.
    char* Reserve(std::size_t size);
    char* Data() const { return data; }
    std::size_t Size() const { return size; }

private:
    void Free();

    char* data = nullptr;
    std::size_t size = 0;
};

} // namespace platform
