// The ZIP component from detection through the walks and every decoder to the
// output writer, on arbitrary archive bytes. Outputs go to a scratch folder
// that is emptied after each input; nothing may land outside it.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "archive/TUnZip.h"

namespace {

const std::string& ScratchBase() {
    static const std::string base = "/dev/shm/vimbrel-fuzz-zip-" + std::to_string(getpid());
    return base;
}

void RemoveScratch() {
    std::error_code ec;
    std::filesystem::remove_all(ScratchBase(), ec);
    std::filesystem::remove(ScratchBase() + ".zip", ec);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Removed when the run ends, however many inputs it took (the path is
    // made first, so that it is destroyed only after the removal).
    static const bool removedAtExit = (ScratchBase(), std::atexit(RemoveScratch), true);
    (void)removedAtExit;
    const std::string& base = ScratchBase();
    static const std::string archivePath = base + ".zip";
    static const std::string outDir = base + "/out/";
    {
        std::ofstream out(archivePath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    std::filesystem::create_directories(outDir);
    archive::TUnZip unzip;
    unzip.SetArchiveFile(archivePath);
    unzip.FileSpec().Add("*.*");
    unzip.Passwords().Add("secret");
    unzip.SetCreateStoredDirs(true);
    unzip.SetExtractDir(outDir);
    unzip.OnEnd = [&](QObject*, const std::string& path, bool passed) {
        // Every entry that was written lies inside the scratch folder (an
        // entry that wrote nothing is reported by its stored name).
        if (!passed) return;
        std::string native = path;
        for (char& c : native)
            if (c == '\\') c = '/';
        if (native.compare(0, outDir.size(), outDir) != 0) __builtin_trap();
    };
    unzip.Extract();
    std::error_code ec;
    std::filesystem::remove_all(base + "/out", ec);
    // Nothing may have been written beside the scratch folder.
    for (auto& e : std::filesystem::directory_iterator(base, ec)) (void)e, __builtin_trap();
    return 0;
}
