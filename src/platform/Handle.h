// The owner of a platform handle: it closes the handle when it goes, however
// the code that opened it ends. One type serves every kind of handle; a handle
// whose close can fail where it matters (a written file, whose close may be
// where a full disk shows) is closed through close(), which tells.
#pragma once

#include <utility>

#include "platform/Files.h"

namespace platform {

template <class THandleType, THandleType Invalid, BOOL (*Closer)(THandleType)> class TOwnedHandle {
public:
    TOwnedHandle() = default;
    explicit TOwnedHandle(THandleType handle) : handle(handle) {}
    ~TOwnedHandle() { reset(); }
    TOwnedHandle(TOwnedHandle&& other) noexcept : handle(other.release()) {}
    TOwnedHandle& operator=(TOwnedHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    TOwnedHandle(const TOwnedHandle&) = delete;
    TOwnedHandle& operator=(const TOwnedHandle&) = delete;

    THandleType get() const { return handle; }
    bool valid() const { return handle != Invalid; }
    THandleType release() { return std::exchange(handle, Invalid); }
    // Closes the handle held, if any, and holds the new one.
    void reset(THandleType other = Invalid) {
        if (valid()) Closer(handle);
        handle = other;
    }
    // Closes the handle held; false when the close failed. Holding none is no failure.
    bool close() { return !valid() || Closer(release()); }

private:
    THandleType handle = Invalid;
};

using THandleOwner = TOwnedHandle<HANDLE, INVALID_HANDLE_VALUE, CloseHandle>;
using TFindOwner = TOwnedHandle<HFIND, nullptr, FindClose>;

} // namespace platform
