// Shell file operation stand-in: only the permanent, silent folder-tree delete.
#pragma once

#include <cstdint>

namespace platform {

inline constexpr unsigned FO_DELETE = 3;
inline constexpr std::uint16_t FOF_SILENT = 0x4;
inline constexpr std::uint16_t FOF_NOCONFIRMATION = 0x10;
inline constexpr std::uint16_t FOF_ALLOWUNDO = 0x40;

struct SHFILEOPSTRUCTA {
    void* hwnd = nullptr;
    unsigned wFunc = 0;
    const char* pFrom = nullptr; // list of paths, each zero-ended, the list ended by an empty one
    const char* pTo = nullptr;
    std::uint16_t fFlags = 0;
    int fAnyOperationsAborted = 0;
};

// Gives 0 on success. Deletes each listed folder tree (or file) outright.
int SHFileOperationA(SHFILEOPSTRUCTA* op);

} // namespace platform
