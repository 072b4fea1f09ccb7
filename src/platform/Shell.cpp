#include "platform/Shell.h"

#include <cstring>
#include <filesystem>

#include "platform/Files.h"

namespace platform {

int SHFileOperationA(SHFILEOPSTRUCTA* op) {
    if (!op || op->wFunc != FO_DELETE || !op->pFrom || !*op->pFrom) return 1;
    int result = 0;
    for (const char* p = op->pFrom; *p; p += std::strlen(p) + 1) {
        std::error_code ec;
        std::filesystem::path path(NativePath(p));
        // remove_all does not follow links: a link inside the tree goes, its
        // target stays.
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) {
            result = 2;
            continue;
        }
        std::filesystem::remove_all(path, ec);
        if (ec) result = 1;
    }
    return result;
}

} // namespace platform
