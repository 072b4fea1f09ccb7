#include "CliNetModule.h"

#include <dlfcn.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "CliNetCommands.h"

// The module's bytes, put into the program when it is built (EmbedModule.cmake).
extern "C" const char VimbrelCliNetModule[], VimbrelCliNetModuleEnd[];

namespace {

[[noreturn]] void CannotLoad(const std::string& why) {
    throw std::runtime_error("cannot load the module of fetch and xmltv: " + why);
}

// The dynamic loader takes a module from a file only: the bytes go into an
// anonymous file in memory, loaded by its name under /proc.
void* LoadModule() {
    const int file = memfd_create("vimbrel-cli-net", MFD_CLOEXEC);
    if (file < 0) CannotLoad("no file in memory");
    for (const char* at = VimbrelCliNetModule; at < VimbrelCliNetModuleEnd;) {
        const ssize_t written = write(file, at, std::size_t(VimbrelCliNetModuleEnd - at));
        if (written <= 0) {
            close(file);
            CannotLoad("cannot write it to memory");
        }
        at += written;
    }
    void* module = dlopen(("/proc/self/fd/" + std::to_string(file)).c_str(), RTLD_NOW | RTLD_LOCAL);
    close(file); // the loader keeps its own mapping
    if (!module) CannotLoad(dlerror());
    return module;
}

} // namespace

int RunNetCommand(const char* command, const TArguments& arguments) {
    static void* const module = LoadModule();
    auto* entry = reinterpret_cast<TNetCommandEntry*>(dlsym(module, "VimbrelCliNetCommand"));
    if (!entry) CannotLoad("it has no entry");
    TNetCommandCall call;
    call.command = command;
    call.arguments = &arguments;
    entry(call);
    if (call.usageError) throw EUsageError(call.error);
    if (!call.error.empty()) throw std::runtime_error(call.error);
    return call.status;
}
