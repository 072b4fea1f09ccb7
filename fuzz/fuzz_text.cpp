// TextLines and StationRows on arbitrary station text.
#include <cstdint>
#include <string_view>

#include "schedule/U_MainFunText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TLines lines = TextLines(text);
    for (std::string_view line : lines)
        if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
            __builtin_trap();
    for (const ScheduleRow& row : StationRows(lines))
        if (row.Time.size() > 5 || row.Line.size() > size) __builtin_trap();
    SplitField(text, "/", int(size % 5) - 1);
    return 0;
}
