#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/Clock.h"
#include "platform/NameOrder.h"
#include "platform/Wildcard.h"

namespace platform {
namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

DWORD FromErrno(int e) {
    switch (e) {
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EWOULDBLOCK:
        return ERROR_SHARING_VIOLATION;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return ERROR_DISK_FULL;
    case EEXIST:
        return ERROR_ALREADY_EXISTS;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    default:
        return ERROR_GEN_FAILURE;
    }
}

bool Fail(DWORD code) {
    lastError = code;
    return false;
}

bool IsReadOnly(const struct stat& st) {
    return (st.st_mode & 0222) == 0;
}

// Only the permission bits a user would expect; never set-user-ID or
// executable bits from outside.
mode_t AttributeMode(mode_t mode, DWORD attributes) {
    mode &= 07777;
    return (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t(0222)) : (mode | S_IWUSR);
}

// flock locks belong to the open file description, so they conflict inside
// one process too (POSIX record locks would not).
bool Lock(int fd, DWORD share) {
    int how = share == FILE_SHARE_NONE ? LOCK_EX : (share & FILE_SHARE_WRITE) ? 0 : LOCK_SH;
    if (how == 0) return true;
    return flock(fd, how | LOCK_NB) == 0;
}

} // namespace

DWORD GetLastError() {
    return lastError;
}
void SetLastError(DWORD code) {
    lastError = code;
}

std::string NativePath(const std::string& path) {
    std::string p = path;
    for (char& c : p)
        if (c == '\\') c = '/';
    return p;
}

// Checks a freshly opened file (refused: what the caller will not open),
// locks it, makes sure the path still names it (it may have been replaced
// between open and lock) and cuts it when asked. Closes fd on failure.
static HANDLE FinishOpen(int fd, DWORD share, DWORD disposition,
                         const std::function<bool(const struct stat&)>& refused,
                         const std::function<int(struct stat&)>& statPath) {
    struct stat opened {
    }, now{};
    // Looked at before the lock: a refused file is refused as such, held or not.
    if (fstat(fd, &opened) != 0 || refused(opened)) {
        close(fd);
        return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    }
    if (!Lock(fd, share)) {
        close(fd);
        return Fail(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
    }
    if (statPath(now) != 0 || opened.st_ino != now.st_ino || opened.st_dev != now.st_dev) {
        close(fd);
        return Fail(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
    }
    if (disposition == CREATE_ALWAYS && opened.st_size > 0 && ftruncate(fd, 0) != 0) {
        close(fd);
        return Fail(FromErrno(errno)), INVALID_HANDLE_VALUE;
    }
    lastError = ERROR_SUCCESS;
    return fd;
}

static int OpenFlags(DWORD access, DWORD disposition) {
    const bool write = access & GENERIC_WRITE;
    int flags = O_CLOEXEC | (write ? ((access & GENERIC_READ) ? O_RDWR : O_WRONLY) : O_RDONLY);
    // Never O_TRUNC: cut only once locked.
    if (disposition == CREATE_ALWAYS) flags |= O_CREAT;
    return flags;
}

HANDLE CreateFileA(const std::string& path, DWORD access, DWORD share, DWORD disposition) {
    const std::string p = NativePath(path);
    const bool write = access & GENERIC_WRITE;
    if (!write && disposition == OPEN_EXISTING && (share & FILE_SHARE_WRITE)) {
        // A plain shared read takes no lock, so there is nothing to check
        // but that it is not a folder: the builder opens thousands of these.
        int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return Fail(FromErrno(errno)), INVALID_HANDLE_VALUE;
        struct stat st {};
        if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            close(fd);
            return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
        }
        return lastError = ERROR_SUCCESS, fd;
    }
    // Folders, and read-only files for writing, are not opened. A file that
    // must exist is looked at once open, which spares a system call on every
    // open of the schedule; one this call may make is looked at first, so that
    // a file it makes itself is never refused.
    auto refused = [write](const struct stat& st) {
        return S_ISDIR(st.st_mode) || (write && IsReadOnly(st));
    };
    const bool existing = disposition == OPEN_EXISTING;
    struct stat before {};
    if (!existing && stat(p.c_str(), &before) == 0 && refused(before))
        return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    int fd = open(p.c_str(), OpenFlags(access, disposition), 0666);
    if (fd < 0) return Fail(FromErrno(errno)), INVALID_HANDLE_VALUE;
    return FinishOpen(
        fd, share, disposition, [&](const struct stat& st) { return existing && refused(st); },
        [&](struct stat& st) { return stat(p.c_str(), &st); });
}

HANDLE OpenDirectoryBelowA(const std::string& base, const std::string& relative, BOOL create) {
    int dir = open(NativePath(base).c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return Fail(FromErrno(errno)), INVALID_HANDLE_VALUE;
    const std::string rel = NativePath(relative);
    std::string::size_type i = 0;
    while (i < rel.size()) {
        std::string::size_type j = rel.find('/', i);
        if (j == std::string::npos) j = rel.size();
        const std::string part = rel.substr(i, j - i);
        i = j + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            close(dir);
            return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
        }
        if (create && mkdirat(dir, part.c_str(), 0777) != 0 && errno != EEXIST) {
            int e = errno;
            close(dir);
            return Fail(FromErrno(e)), INVALID_HANDLE_VALUE;
        }
        // O_NOFOLLOW: a link in the way fails instead of leading elsewhere.
        int next = openat(dir, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int e = errno;
        close(dir);
        if (next < 0)
            return Fail(e == ELOOP || e == ENOTDIR ? ERROR_ACCESS_DENIED : FromErrno(e)),
                   INVALID_HANDLE_VALUE;
        dir = next;
    }
    return dir;
}

HANDLE CreateFileAtA(HANDLE folder, const std::string& name, DWORD access, DWORD share,
                     DWORD disposition) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return Fail(ERROR_INVALID_NAME), INVALID_HANDLE_VALUE;
    const int dir = int(folder);
    const bool write = access & GENERIC_WRITE;
    if (disposition == CREATE_ALWAYS) {
        // The usual case, a name not taken yet: a file this call made is
        // nobody else's and needs no further checks.
        int fd =
            openat(dir, name.c_str(), OpenFlags(access, disposition) | O_EXCL | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            if (Lock(fd, share)) return lastError = ERROR_SUCCESS, fd;
            close(fd);
            return Fail(ERROR_SHARING_VIOLATION), INVALID_HANDLE_VALUE;
        }
        if (errno != EEXIST) return Fail(FromErrno(errno)), INVALID_HANDLE_VALUE;
    }
    struct stat before {};
    if (fstatat(dir, name.c_str(), &before, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISREG(before.st_mode)) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
        if (write && IsReadOnly(before)) return Fail(ERROR_ACCESS_DENIED), INVALID_HANDLE_VALUE;
    }
    // O_NONBLOCK: a FIFO put there meanwhile must not hang the open (regular
    // files ignore it).
    int fd =
        openat(dir, name.c_str(), OpenFlags(access, disposition) | O_NOFOLLOW | O_NONBLOCK, 0666);
    if (fd < 0)
        return Fail(errno == ELOOP ? ERROR_ACCESS_DENIED : FromErrno(errno)), INVALID_HANDLE_VALUE;
    return FinishOpen(
        fd, share, disposition, [](const struct stat& st) { return !S_ISREG(st.st_mode); },
        [&](struct stat& st) { return fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW); });
}

BOOL CloseHandle(HANDLE file) {
    if (file < 0) return Fail(ERROR_INVALID_HANDLE);
    return close(int(file)) == 0 ? true : Fail(FromErrno(errno));
}

// Reads until count bytes, the end of the file or an error; read(n, total)
// reads at most n bytes into buffer + total.
template <class Read> static BOOL ReadFully(Read read, void* buffer, DWORD count, DWORD* done) {
    DWORD total = 0;
    while (total < count) {
        ssize_t n = read(static_cast<char*>(buffer) + total, count - total, total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (done) *done = total;
            return Fail(FromErrno(errno));
        }
        if (n == 0) break;
        total += DWORD(n);
    }
    if (done) *done = total;
    return true;
}

BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done) {
    auto next = [&](char* to, DWORD n, DWORD) { return read(int(file), to, n); };
    return ReadFully(next, buffer, count, done);
}

BOOL ReadFileAt(HANDLE file, std::int64_t offset, void* buffer, DWORD count, DWORD* done) {
    if (offset < 0) {
        if (done) *done = 0;
        return Fail(ERROR_GEN_FAILURE);
    }
    auto next = [&](char* to, DWORD n, DWORD total) {
        return pread(int(file), to, n, off_t(offset + total));
    };
    return ReadFully(next, buffer, count, done);
}

BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done) {
    DWORD total = 0;
    while (total < count) {
        ssize_t n = write(int(file), static_cast<const char*>(buffer) + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (done) *done = total;
            return Fail(n < 0 ? FromErrno(errno) : ERROR_DISK_FULL);
        }
        total += DWORD(n);
    }
    if (done) *done = total;
    return true;
}

std::int64_t SetFilePointerEx(HANDLE file, std::int64_t distance, DWORD origin) {
    int whence = origin == FILE_BEGIN ? SEEK_SET : origin == FILE_CURRENT ? SEEK_CUR : SEEK_END;
    off_t pos = lseek(int(file), off_t(distance), whence);
    if (pos < 0) return Fail(FromErrno(errno)), -1;
    return pos;
}

std::int64_t GetFileSizeEx(HANDLE file) {
    struct stat st {};
    if (fstat(int(file), &st) != 0) return Fail(FromErrno(errno)), -1;
    return st.st_size;
}

static DWORD KindOf(bool folder) {
    return folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
}

static DWORD AttributesOf(const struct stat& st, const std::string& name) {
    DWORD a = KindOf(S_ISDIR(st.st_mode));
    if (IsReadOnly(st)) a |= FILE_ATTRIBUTE_READONLY;
    if (name.size() > 1 && name[0] == '.' && name != "..") a |= FILE_ATTRIBUTE_HIDDEN;
    return a;
}

BOOL SetFileDosDateTime(HANDLE file, std::uint32_t dosDateTime) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = DosDateTimeToUnix(dosDateTime);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return futimens(int(file), times) == 0 ? true : Fail(FromErrno(errno));
}

BOOL DeleteFileA(const std::string& path) {
    const std::string p = NativePath(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return Fail(FromErrno(errno));
    if (S_ISDIR(st.st_mode) || IsReadOnly(st)) return Fail(ERROR_ACCESS_DENIED);
    if (S_ISLNK(st.st_mode)) return unlink(p.c_str()) == 0 ? true : Fail(FromErrno(errno));
    // Take the file exclusively first, so that a file another holder has open
    // cannot be deleted; unlink while holding it.
    int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return Fail(FromErrno(errno));
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return Fail(ERROR_SHARING_VIOLATION);
    }
    bool ok = unlink(p.c_str()) == 0;
    int e = errno;
    close(fd);
    return ok ? true : Fail(FromErrno(e));
}

BOOL MoveFileReplaceA(const std::string& from, const std::string& to) {
    return rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0 ? true
                                                                         : Fail(FromErrno(errno));
}

DWORD GetFileAttributesA(const std::string& path) {
    std::string p = NativePath(path);
    struct stat st {};
    if (stat(p.c_str(), &st) != 0) return Fail(FromErrno(errno)), INVALID_FILE_ATTRIBUTES;
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    std::string::size_type slash = p.find_last_of('/');
    return AttributesOf(st, slash == std::string::npos ? p : p.substr(slash + 1));
}

BOOL SetFileAttributesA(const std::string& path, DWORD attributes) {
    const std::string p = NativePath(path);
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0) return Fail(FromErrno(errno));
    if (S_ISLNK(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    return chmod(p.c_str(), AttributeMode(st.st_mode, attributes)) == 0 ? true
                                                                        : Fail(FromErrno(errno));
}

BOOL SetFileAttributesByHandle(HANDLE file, DWORD attributes) {
    struct stat st {};
    if (fstat(int(file), &st) != 0) return Fail(FromErrno(errno));
    return fchmod(int(file), AttributeMode(st.st_mode, attributes)) == 0 ? true
                                                                         : Fail(FromErrno(errno));
}

DWORD GetFileAttributesAtA(HANDLE folder, const std::string& name) {
    struct stat st {};
    if (name.empty() || fstatat(int(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(FromErrno(errno)), INVALID_FILE_ATTRIBUTES;
    if (S_ISLNK(st.st_mode)) return FILE_ATTRIBUTE_ARCHIVE;
    return AttributesOf(st, name);
}

BOOL SetFileAttributesAtA(HANDLE folder, const std::string& name, DWORD attributes) {
    struct stat st {};
    if (name.empty() || fstatat(int(folder), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Fail(FromErrno(errno));
    if (S_ISLNK(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    return fchmodat(int(folder), name.c_str(), AttributeMode(st.st_mode, attributes), 0) == 0
               ? true
               : Fail(FromErrno(errno));
}

BOOL CreateDirectoryA(const std::string& path) {
    return mkdir(NativePath(path).c_str(), 0777) == 0 ? true : Fail(FromErrno(errno));
}

BOOL FileExists(const std::string& path) {
    struct stat st {};
    return stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

BOOL DirectoryExists(const std::string& path) {
    struct stat st {};
    return stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string GetCurrentDirectoryA() {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return "/";
    std::string d = buf;
    if (d.back() != '/') d += '/';
    return d;
}

std::string ExpandFileName(const std::string& path) {
    std::string p = NativePath(path);
    if (p.empty() || p[0] != '/') p = GetCurrentDirectoryA() + p;
    // Resolve "." and ".." textually; the folders need not exist yet.
    std::string out;
    std::string::size_type i = 0;
    while (i <= p.size()) {
        std::string::size_type j = p.find('/', i);
        if (j == std::string::npos) j = p.size();
        std::string part = p.substr(i, j - i);
        if (part == "..") {
            std::string::size_type s = out.find_last_of('/');
            out.erase(s == std::string::npos ? 0 : s);
        } else if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        i = j + 1;
    }
    if (out.empty()) out.push_back('/');
    if (p.back() == '/' && out.back() != '/') out += '/';
    return out;
}

bool MatchesMask(const std::string& name, const std::string& mask) {
    if (mask == "*.*" || mask == "*") return true;
    if (MatchWildcards(name, mask)) return true;
    // A name without an extension is also taken by a mask ending in "." or
    // ".*", as folder listings do ("x.*" takes "x").
    const std::string_view m = mask;
    return name.find('.') == std::string::npos && (m.ends_with('.') || m.ends_with(".*")) &&
           MatchWildcards(name + ".", mask);
}

// A listing reads the whole folder when it starts and hands the names out in
// the file system's sorted order (NameOrder.h), "." and ".." first.
struct FindState {
    struct Entry {
        std::u16string key;
        std::string name;
        unsigned char type = DT_UNKNOWN;
    };
    DIR* dir = nullptr;
    bool namesOnly = false;
    std::vector<Entry> entries;
    std::size_t next = 0;
};

static bool ListedFirst(const FindState::Entry& a, const FindState::Entry& b) {
    const int dotsA = a.name == "." ? 0 : a.name == ".." ? 1 : 2;
    const int dotsB = b.name == "." ? 0 : b.name == ".." ? 1 : 2;
    if (dotsA != dotsB) return dotsA < dotsB;
    if (a.key != b.key) return a.key < b.key;
    return a.name < b.name; // names only Linux tells apart keep one order too
}

static void ReadListing(FindState* f, const std::string& mask) {
    while (dirent* e = readdir(f->dir)) {
        if (!MatchesMask(e->d_name, mask)) continue;
        f->entries.push_back({NameOrderKey(e->d_name), e->d_name, e->d_type});
    }
    std::sort(f->entries.begin(), f->entries.end(), ListedFirst);
}

// A names-only listing takes the kind the folder records; only a link, or a
// file system that records no kinds, needs the file looked at.
static bool NextMatch(FindState* f, WIN32_FIND_DATAA* data) {
    while (f->next < f->entries.size()) {
        FindState::Entry& e = f->entries[f->next++];
        data->cFileName = std::move(e.name);
        if (f->namesOnly && (e.type == DT_REG || e.type == DT_DIR)) {
            data->nFileSize = 0;
            data->dwFileAttributes = KindOf(e.type == DT_DIR);
            return true;
        }
        struct stat st {};
        if (fstatat(dirfd(f->dir), data->cFileName.c_str(), &st, 0) != 0) continue; // dangling link
        const bool folder = S_ISDIR(st.st_mode);
        data->nFileSize = folder || f->namesOnly ? 0 : st.st_size;
        data->dwFileAttributes = f->namesOnly ? KindOf(folder) : AttributesOf(st, data->cFileName);
        return true;
    }
    return false;
}

static HFIND FindFirst(const std::string& pattern, WIN32_FIND_DATAA* data, bool namesOnly) {
    std::string p = NativePath(pattern);
    std::string::size_type slash = p.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "./" : p.substr(0, slash + 1);
    auto* f = new FindState;
    f->namesOnly = namesOnly;
    f->dir = opendir(folder.c_str());
    if (f->dir) ReadListing(f, slash == std::string::npos ? p : p.substr(slash + 1));
    if (!f->dir || !NextMatch(f, data)) {
        DWORD e = f->dir ? ERROR_FILE_NOT_FOUND : FromErrno(errno);
        FindClose(f);
        Fail(e);
        return nullptr;
    }
    return f;
}

HFIND FindFirstFileA(const std::string& pattern, WIN32_FIND_DATAA* data) {
    return FindFirst(pattern, data, false);
}

HFIND FindFirstFileNamesA(const std::string& pattern, WIN32_FIND_DATAA* data) {
    return FindFirst(pattern, data, true);
}

BOOL FindNextFileA(HFIND find, WIN32_FIND_DATAA* data) {
    return find && NextMatch(find, data) ? true : Fail(ERROR_FILE_NOT_FOUND);
}

BOOL FindClose(HFIND find) {
    if (!find) return false;
    if (find->dir) closedir(find->dir);
    delete find;
    return true;
}

} // namespace platform
