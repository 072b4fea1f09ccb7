// Registry stand-in shaped like Delphi's TRegistry. The current user's hive
// (HKEY_CURRENT_USER, the only root there is) lives in one file per user,
// $XDG_CONFIG_HOME/vimbrel/registry.reg (~/.config when the variable is unset),
// in the regedit text format: "[key]" lines, then "name"=dword:0000002a or
// "name"="text" lines. Key and value names compare without ASCII case.
// Every write replaces the file atomically; every read sees the file as it is,
// over the values every account holds (AccountDefaults.h).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace platform {

using HKEY = std::uintptr_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;

// A value that cannot be read or written; what() names it, as in
// "Failed to get data for 'ProxyEnable'".
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The key of the current user's Internet Settings, which hold the proxy.
inline constexpr const char* InternetSettingsKey =
    "\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
// The key of the program's own settings (the guide source, the favourites).
inline constexpr const char* VimbrelKey = "\\Software\\Vimbrel";

enum class TRegDataType { rdUnknown, rdString, rdInteger };

class TRegistry {
public:
    HKEY RootKey = HKEY_CURRENT_USER;

    // A key name beginning with "\" starts at the root, any other at the open
    // key. false when the key is missing (and may not be created) or the
    // hive's file cannot be written.
    bool OpenKey(const std::string& key, bool canCreate);
    bool KeyExists(const std::string& key) const;
    void CloseKey();
    // The open key's path from the root, without a leading "\".
    const std::string& CurrentPath() const { return currentPath; }

    bool ValueExists(const std::string& name) const;
    TRegDataType GetDataType(const std::string& name) const;
    // A missing value: "Failed to get data for '<name>'"; a string:
    // "Invalid data type for '<name>'".
    std::int32_t ReadInteger(const std::string& name) const;
    // A missing value reads as empty; a DWORD: "Invalid data type for '<name>'".
    std::string ReadString(const std::string& name) const;
    // "Failed to set data for '<name>'" when the hive's file cannot be written.
    void WriteInteger(const std::string& name, std::int32_t value);
    void WriteString(const std::string& name, const std::string& value);
    bool DeleteValue(const std::string& name);

    // The file that holds the current user's hive.
    static std::string HiveFileName();

private:
    std::string FullPath(const std::string& key) const;

    bool isOpen = false;
    std::string currentPath;
};

} // namespace platform
