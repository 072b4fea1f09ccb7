// The schedule file reader on arbitrary bytes: index, station selection and
// text. It must never read outside the file or allocate more than it holds.
#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>

#include "U_TvSchedule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = "/dev/shm/vimbrel-fuzz-" + std::to_string(getpid()) + ".sch";
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
