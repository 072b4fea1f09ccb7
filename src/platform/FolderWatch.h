// Change notification for one folder, the way ReadDirectoryChangesW reports
// it on Windows: which names in the folder were written, cut, touched,
// created, deleted or renamed since the last look.
#pragma once

#include <string>
#include <vector>

namespace platform {

class TFolderWatch {
public:
    // Starts watching; Active() tells whether that worked (a missing folder,
    // or no watches left).
    explicit TFolderWatch(const std::string& folder);
    ~TFolderWatch();
    TFolderWatch(const TFolderWatch&) = delete;
    TFolderWatch& operator=(const TFolderWatch&) = delete;

    bool Active() const { return fd >= 0; }
    // Appends the names changed since the watch began or since the last call.
    // false when anything may have changed unrecorded: too many changes came
    // at once, or the folder itself was deleted, moved or unmounted; the
    // watch then stops (Active() turns false).
    bool TakeChanges(std::vector<std::string>& names);

private:
    int fd = -1;
};

} // namespace platform
