#include "archive/OutputPath.h"

#include <algorithm>

#include "archive/FileSpecMatch.h"
#include "platform/ControlChars.h"
#include "platform/Files.h"

namespace archive {

namespace {

std::string StripDrive(const std::string& name) {
    if (name.find(':') != std::string::npos) {
        std::string::size_type slash = name.find('\\');
        return name.substr(std::min<std::size_t>(slash == 2 ? 3 : 2, name.size()));
    }
    if (!name.empty() && name[0] == '\\') return name.substr(1);
    return name;
}

bool HasParentComponent(const std::string& relative) {
    std::string::size_type i = 0;
    while (i <= relative.size()) {
        std::string::size_type j = relative.find('\\', i);
        if (j == std::string::npos) j = relative.size();
        if (relative.compare(i, j - i, "..") == 0 && j - i == 2) return true;
        i = j + 1;
    }
    return false;
}

bool LeavesBase(const std::string& relative) {
    return platform::HoldsControlChar(relative) || HasParentComponent(relative) ||
           (!relative.empty() && relative[0] == '\\') || relative.find(':') != std::string::npos;
}

// On Windows a folder without a drive hangs from the root of the current
// drive; here a relative folder is taken from the current folder instead.
std::string AnchoredFolder(const std::string& folder) {
    if (!folder.empty() && folder[0] == '\\') return folder;
    std::string cwd = platform::GetCurrentDirectoryA();
    std::replace(cwd.begin(), cwd.end(), '/', '\\');
    return cwd + folder;
}

} // namespace

TOutputPath MakeOutputPath(const std::string& extractDir, const std::string& name,
                           bool useStoredDirs) {
    TOutputPath out;
    out.Base = AnchoredFolder(extractDir);
    out.Relative = useStoredDirs ? StripDrive(name) : FileNamePart(name);
    out.Unsafe = LeavesBase(out.Relative);
    out.Path = out.Base + out.Relative;
    return out;
}

TOutputPath TrustedOutputPath(const std::string& path) {
    TOutputPath out;
    std::string p = path;
    std::replace(p.begin(), p.end(), '/', '\\');
    p = AnchoredFolder(p);
    std::string::size_type sep = p.find_last_of('\\');
    out.Base = p.substr(0, sep + 1);
    out.Relative = p.substr(sep + 1);
    out.Path = p;
    return out;
}

} // namespace archive
