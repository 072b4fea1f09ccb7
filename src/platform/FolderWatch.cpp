#include "platform/FolderWatch.h"

#include <cerrno>
#include <cstring>
#include <sys/inotify.h>
#include <unistd.h>

#include "platform/Files.h"

namespace platform {

namespace {

// Every way a name's content or identity can change. Writes through a shared
// memory map raise no event; nothing in this program writes that way.
constexpr std::uint32_t Watched = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                  IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                                  IN_ONLYDIR;
// The folder itself went away, or the queue lost events.
constexpr std::uint32_t Lost =
    IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

} // namespace

TFolderWatch::TFolderWatch(const std::string& folder) {
    fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd >= 0 && inotify_add_watch(fd, NativePath(folder).c_str(), Watched) < 0) {
        close(fd);
        fd = -1;
    }
}

TFolderWatch::~TFolderWatch() {
    if (fd >= 0) close(fd);
}

bool TFolderWatch::TakeChanges(std::vector<std::string>& names) {
    if (fd < 0) return false;
    alignas(inotify_event) char buffer[64 * 1024];
    bool whole = true;
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN) whole = false;
            break;
        }
        for (ssize_t at = 0; at < n;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (event.mask & Lost) whole = false;
            const char* name = buffer + at + sizeof event;
            if (event.len > 0) names.emplace_back(name, strnlen(name, event.len));
            at += ssize_t(sizeof event + event.len);
        }
    }
    if (!whole) {
        close(fd);
        fd = -1;
    }
    return whole;
}

} // namespace platform
