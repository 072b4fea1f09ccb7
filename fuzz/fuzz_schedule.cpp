// The schedule file reader on arbitrary bytes: index, station selection and
// text. It must never read outside the file or allocate more than it holds.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "schedule/U_TvSchedule.h"

namespace {

const std::string& ScratchPath() {
    static const std::string path = "/dev/shm/vimbrel-fuzz-" + std::to_string(getpid()) + ".sch";
    return path;
}

void RemoveScratch() { std::remove(ScratchPath().c_str()); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Removed when the run ends, however many inputs it took (the path is
    // made first, so that it is destroyed only after the removal).
    static const bool removedAtExit = (ScratchPath(), std::atexit(RemoveScratch), true);
    (void)removedAtExit;
    const std::string& path = ScratchPath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    TScheduleObject file(path, TScheduleObject::fmOpen);
    std::string text;
    for (const TStationEntry& s : ReadStationIndex(file))
        if (file.SelectStation(s.Offset) && file.ReadStationText(text) && text.size() > size)
            __builtin_trap(); // a text longer than the file came from outside it
    return 0;
}
