// File system stand-ins shaped like the Win32 calls the components make, so the
// component code reads the same on Windows and Linux. Paths are native (UTF-8 on
// Linux); a "\" in a path is taken as a separator.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

using DWORD = std::uint32_t;
using BOOL = int;
using HANDLE = std::intptr_t;

inline constexpr HANDLE INVALID_HANDLE_VALUE = -1;
inline constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// Access rights and sharing.
inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_NONE = 0;
inline constexpr DWORD FILE_SHARE_READ = 0x1;
inline constexpr DWORD FILE_SHARE_WRITE = 0x2;

// Creation dispositions.
inline constexpr DWORD CREATE_ALWAYS = 2; // create, or cut an existing file to nothing
inline constexpr DWORD OPEN_EXISTING = 3;

// Seek origins.
inline constexpr DWORD FILE_BEGIN = 0;
inline constexpr DWORD FILE_CURRENT = 1;
inline constexpr DWORD FILE_END = 2;

// MS-DOS attribute bits.
inline constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
inline constexpr DWORD FILE_ATTRIBUTE_VOLUME = 0x08;
inline constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;

// Error codes of GetLastError.
inline constexpr DWORD ERROR_SUCCESS = 0;
inline constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
inline constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
inline constexpr DWORD ERROR_ACCESS_DENIED = 5;
inline constexpr DWORD ERROR_INVALID_HANDLE = 6;
inline constexpr DWORD ERROR_SHARING_VIOLATION = 32;
inline constexpr DWORD ERROR_NOT_SUPPORTED = 50;
inline constexpr DWORD ERROR_DISK_FULL = 112;
inline constexpr DWORD ERROR_ALREADY_EXISTS = 183;
inline constexpr DWORD ERROR_GEN_FAILURE = 31;
inline constexpr DWORD ERROR_INVALID_NAME = 123;

DWORD GetLastError();
void SetLastError(DWORD code);

// Opens or creates a file. share FILE_SHARE_NONE holds the file exclusively
// (every other open, create or delete fails until it is closed);
// FILE_SHARE_READ lets others open it for reading only. A file without write
// permission cannot be opened for writing, also by root (the read-only bit).
HANDLE CreateFileA(const std::string& path, DWORD access, DWORD share, DWORD disposition);
BOOL CloseHandle(HANDLE file);
// Reads or writes up to count bytes at the current position.
BOOL ReadFile(HANDLE file, void* buffer, DWORD count, DWORD* done);
// Reads up to count bytes at offset without moving the position (an
// overlapped read on Windows).
BOOL ReadFileAt(HANDLE file, std::int64_t offset, void* buffer, DWORD count, DWORD* done);
BOOL WriteFile(HANDLE file, const void* buffer, DWORD count, DWORD* done);
// Moves the position; gives the new position, or -1 on failure.
std::int64_t SetFilePointerEx(HANDLE file, std::int64_t distance, DWORD origin);
std::int64_t GetFileSizeEx(HANDLE file);
// Sets the file's modification time from an MS-DOS date-time (local time).
BOOL SetFileDosDateTime(HANDLE file, std::uint32_t dosDateTime);

// Deletes a file; fails while another holder has it open.
BOOL DeleteFileA(const std::string& path);
// Renames, replacing an existing target.
BOOL MoveFileReplaceA(const std::string& from, const std::string& to);
DWORD GetFileAttributesA(const std::string& path);
// Applies the read-only bit; the other MS-DOS bits have no Linux meaning.
// Does not follow a symbolic link (as on Windows, where it would change the link).
BOOL SetFileAttributesA(const std::string& path, DWORD attributes);
BOOL SetFileAttributesByHandle(HANDLE file, DWORD attributes);
BOOL CreateDirectoryA(const std::string& path);
BOOL FileExists(const std::string& path); // a file, not a folder
BOOL DirectoryExists(const std::string& path);
std::string GetCurrentDirectoryA();                  // with a trailing separator
std::string ExpandFileName(const std::string& path); // full path, "." and ".." resolved

// Names from outside (an archive) placed below a trusted folder: a symbolic
// link below base is never followed, so nothing lands outside base; base
// itself must exist and may hold links.
// Opens the folder base + relative ("\" or "/" separated, ".." refused),
// creating missing folders when create is true. The handle serves
// CreateFileAtA and is closed with CloseHandle.
HANDLE OpenDirectoryBelowA(const std::string& base, const std::string& relative, BOOL create);
// CreateFileA for one name inside an open folder. A symbolic link, folder or
// other non-regular file of that name is refused (ERROR_ACCESS_DENIED).
HANDLE CreateFileAtA(HANDLE folder, const std::string& name, DWORD access, DWORD share,
                     DWORD disposition);
// Attributes of one name inside an open folder, without following a link
// (a link reads as a plain file).
DWORD GetFileAttributesAtA(HANDLE folder, const std::string& name);
BOOL SetFileAttributesAtA(HANDLE folder, const std::string& name, DWORD attributes);

// Folder listing, entry by entry, "." and ".." included, as FindFirstFileA
// does, and in the same order on every file system: "." and "..", then the
// names as the Windows default file system sorts them (NameOrder.h).
struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes = 0;
    std::int64_t nFileSize = 0;
    std::string cFileName;
};
struct FindState;
using HFIND = FindState*;
// pattern is a folder followed by a mask with * and ? ("C:\dir\*.*"). Gives
// nullptr when nothing matches or the folder cannot be read.
HFIND FindFirstFileA(const std::string& pattern, WIN32_FIND_DATAA* data);
// The same listing, for callers that need no more than the names, which are
// folders and the file numbers: a file is looked at only when the folder does
// not say what it is (a link, followed as above), so dwFileAttributes is
// FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_ARCHIVE and nFileSize is 0. Much
// faster on large folders. FindNextFileA goes on in the same way.
HFIND FindFirstFileNamesA(const std::string& pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFileA(HFIND find, WIN32_FIND_DATAA* data);
BOOL FindClose(HFIND find);

// Wildcard match of a file name against a mask the way folder listings do
// (platform::MatchWildcards): "*.*" and "*" take every name, and a mask
// ending in "." or ".*" also takes a name without an extension.
bool MatchesMask(const std::string& name, const std::string& mask);

// Path separator of the platform, and "\" or "/" turned into it.
inline constexpr char PathDelim = '/';
std::string NativePath(const std::string& path);

} // namespace platform
