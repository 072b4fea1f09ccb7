#include "platform/Registry.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/AccountDefaults.h"
#include "platform/ControlChars.h"
#include "platform/Hive.h"

namespace platform {
namespace {

// Held while a file is read or rewritten, so that two writers (threads or
// processes) do not lose each other's change. flock locks conflict between
// open file descriptions, so inside one process too.
class HiveLock {
public:
    HiveLock(const std::string& folder, bool exclusive) {
        fd = open((folder + "registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd >= 0) flock(fd, exclusive ? LOCK_EX : LOCK_SH);
    }
    ~HiveLock() {
        if (fd >= 0) close(fd);
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;

private:
    int fd = -1;
};

std::string ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/";
    const passwd* pw = getpwuid(getuid());
    return std::string(pw && pw->pw_dir ? pw->pw_dir : "/tmp") + "/.config/";
}

std::string HiveFolder() {
    return ConfigFolder() + "vimbrel/";
}

bool MakeFolders(const std::string& folder) {
    for (std::size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/') continue;
        const std::string part = folder.substr(0, i);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::string HiveFile() {
    return HiveFolder() + "registry.reg";
}

// Writes replace the file in one rename, so a read needs no lock.
Hive LoadHive() {
    return Hive::Parse(ReadWholeFile(HiveFile()));
}

// What the reads see: the file, over what every account holds. Writes go to
// the file alone, so a default is never stored and follows the desktop.
Hive ReadHive() {
    Hive hive = LoadHive();
    AddAccountDefaults(hive);
    return hive;
}

// Reads, changes and atomically replaces the hive under the writers' lock.
template <class Change> bool ChangeHive(Change change) {
    const std::string folder = HiveFolder();
    if (!MakeFolders(folder)) return false;
    HiveLock lock(folder, true);
    Hive hive = LoadHive();
    change(hive);
    return ReplaceFile(HiveFile(), hive.Format());
}

std::string Message(const char* format, const std::string& name) {
    std::string text = format;
    return text.replace(text.find("%s"), 2, name);
}

} // namespace

std::string TRegistry::HiveFileName() {
    return HiveFile();
}

std::string TRegistry::FullPath(const std::string& key) const {
    std::string path = key;
    const bool relative = path.empty() || path[0] != '\\';
    if (relative && isOpen && !currentPath.empty()) path = currentPath + "\\" + path;
    return Hive::NormalKey(path);
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
    if (RootKey != HKEY_CURRENT_USER) return false;
    const std::string path = FullPath(key);
    if (HoldsControlChar(path)) return false; // the hive file keeps a key on one line
    if (!ReadHive().HasKey(path)) {
        if (!canCreate) return false;
        if (!ChangeHive([&](Hive& h) { h.AddKey(path); })) return false;
    }
    isOpen = true;
    currentPath = path;
    return true;
}

bool TRegistry::KeyExists(const std::string& key) const {
    return RootKey == HKEY_CURRENT_USER && ReadHive().HasKey(FullPath(key));
}

void TRegistry::CloseKey() {
    isOpen = false;
    currentPath.clear();
}

bool TRegistry::ValueExists(const std::string& name) const {
    return ReadHive().Find(currentPath, name) != nullptr;
}

TRegDataType TRegistry::GetDataType(const std::string& name) const {
    const Hive hive = ReadHive();
    const HiveValue* v = hive.Find(currentPath, name);
    if (!v) return TRegDataType::rdUnknown;
    return v->isDword ? TRegDataType::rdInteger : TRegDataType::rdString;
}

std::int32_t TRegistry::ReadInteger(const std::string& name) const {
    const Hive hive = ReadHive();
    const HiveValue* v = hive.Find(currentPath, name);
    if (!v) throw ERegistryException(Message("Failed to get data for '%s'", name));
    if (!v->isDword) throw ERegistryException(Message("Invalid data type for '%s'", name));
    return std::int32_t(v->dword);
}

std::string TRegistry::ReadString(const std::string& name) const {
    const Hive hive = ReadHive();
    const HiveValue* v = hive.Find(currentPath, name);
    if (!v) return {};
    if (v->isDword) throw ERegistryException(Message("Invalid data type for '%s'", name));
    return v->text;
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value) {
    HiveValue v{name, true, std::uint32_t(value), {}};
    if (!ChangeHive([&](Hive& h) { h.Set(currentPath, v); }))
        throw ERegistryException(Message("Failed to set data for '%s'", name));
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
    HiveValue v{name, false, 0, value};
    if (!ChangeHive([&](Hive& h) { h.Set(currentPath, v); }))
        throw ERegistryException(Message("Failed to set data for '%s'", name));
}

bool TRegistry::DeleteValue(const std::string& name) {
    bool found = false;
    return ChangeHive([&](Hive& h) { found = h.Remove(currentPath, name); }) && found;
}

} // namespace platform
