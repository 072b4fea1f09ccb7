// Control characters (below 0x20) in names: no Windows file name holds one,
// and a name holding CR or LF would break the line-based texts names are
// written into (the schedule's names text, the registry file).
#pragma once

#include <algorithm>
#include <string_view>

namespace platform {

constexpr bool IsControlChar(char32_t c) {
    return c < 0x20;
}

inline bool HoldsControlChar(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return IsControlChar(static_cast<unsigned char>(c)); });
}

} // namespace platform
