// The guide converter on arbitrary bytes, fed in two pieces: a clear refusal
// or an archive, never a crash or a hang.
#include <cstdint>
#include <exception>
#include <string_view>

#include "guide/GuidePacker.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    guide::TGuideWindow window;
    window.from = QDate(2026, 12, 7);
    const std::size_t cut = size ? data[0] % size : 0;
    try {
        guide::TGuidePacker packer(window);
        packer.Feed(bytes.substr(0, cut));
        packer.Feed(bytes.substr(cut));
        if (packer.Finish().empty()) __builtin_trap();
    } catch (const std::exception&) {
    }
    return 0;
}
