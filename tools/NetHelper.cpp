#include "NetHelper.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr char HelperName[] = "vimbrel-cli-net";

std::filesystem::path FindHelper() {
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    // A build tree keeps every program in one folder; an installed tree has
    // the helper at the same place relative to the program's folder.
    for (const std::filesystem::path& candidate :
         {folder / HelperName, folder / VIMBREL_NET_HELPER_FROM_BINDIR / HelperName})
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
    return folder / VIMBREL_NET_HELPER_FROM_BINDIR / HelperName;
}

} // namespace

void RunNetHelper(char** arguments) {
    const std::string helper = FindHelper().lexically_normal();
    std::vector<char*> argv{const_cast<char*>(helper.c_str())};
    for (char** a = arguments; *a; ++a)
        argv.push_back(*a);
    argv.push_back(nullptr);
    std::fflush(stdout);
    execv(helper.c_str(), argv.data());
    throw std::runtime_error("cannot run " + helper + ": " + std::strerror(errno));
}
