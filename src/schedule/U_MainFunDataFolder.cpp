#include "schedule/U_MainFunDataFolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/Files.h"

namespace {

std::string WithDelim(std::string folder) {
    if (folder.empty() || folder.back() != platform::PathDelim) folder += platform::PathDelim;
    return folder;
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ExecutableFolder() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return platform::GetCurrentDirectoryA();
    std::string path(buf, std::size_t(n));
    return path.substr(0, path.find_last_of('/') + 1);
}

// The link /proc/self/exe resolves symbolic links (/bin is one to /usr/bin on
// Debian): resolve the configured folder too before comparing.
std::string InstalledBinFolder() {
    char buf[PATH_MAX];
    if (!realpath(VIMBREL_INSTALL_BINDIR, buf)) return WithDelim(VIMBREL_INSTALL_BINDIR);
    return WithDelim(buf);
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (!home.empty()) return home;
    std::vector<char> buf(16384);
    passwd entry{}, *found = nullptr;
    if (getpwuid_r(getuid(), &entry, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return "";
}

// Makes folder and the folders above it that are missing, private to the user
// as the XDG base folders are meant to be. A failure shows later, when the
// first file cannot be created there.
void MakeFolders(const std::string& folder) {
    for (std::size_t end = folder.find('/', 1); end != std::string::npos;
         end = folder.find('/', end + 1))
        if (mkdir(folder.substr(0, end).c_str(), 0700) != 0 && errno != EEXIST) return;
}

} // namespace

std::string ChooseDataFolder(const TDataFolderFacts& facts) {
    if (facts.ExecutableFolderWritable && !facts.Installed) return facts.ExecutableFolder;
    // A relative XDG_DATA_HOME is invalid and is ignored, as the XDG base
    // directory rules ask.
    std::string base;
    if (!facts.XdgDataHome.empty() && facts.XdgDataHome.front() == '/')
        base = facts.XdgDataHome;
    else if (!facts.Home.empty())
        base = WithDelim(facts.Home) + ".local/share";
    else
        return facts.ExecutableFolder; // nowhere else to go: writes there fail clearly
    return WithDelim(base) + "vimbrel/";
}

TDataFolderFacts RunningProgramFacts() {
    TDataFolderFacts facts;
    facts.ExecutableFolder = ExecutableFolder();
    facts.ExecutableFolderWritable = access(facts.ExecutableFolder.c_str(), W_OK) == 0;
    facts.Installed = facts.ExecutableFolder == InstalledBinFolder();
    facts.XdgDataHome = Environment("XDG_DATA_HOME");
    facts.Home = HomeFolder();
    return facts;
}

std::string OpenDataFolder() {
    const TDataFolderFacts facts = RunningProgramFacts();
    std::string folder = ChooseDataFolder(facts);
    if (folder != facts.ExecutableFolder) MakeFolders(folder);
    return folder;
}
