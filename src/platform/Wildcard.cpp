#include "platform/Wildcard.h"

#include "platform/AsciiCase.h"

namespace platform {
namespace {

// Bytes of the character starting at text[i]: a UTF-8 lead byte takes its
// continuation bytes along.
std::size_t CharLength(std::string_view text, std::size_t i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    const std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    std::size_t len = 1;
    while (len < n && i + len < text.size() &&
           (static_cast<unsigned char>(text[i + len]) & 0xC0) == 0x80)
        ++len;
    return len;
}

} // namespace

bool MatchWildcards(std::string_view text, std::string_view mask) {
    // Iterative match with one backtrack point, the last "*" seen. A "*" is
    // taken as a wildcard before anything else, also where the text holds a
    // "*" itself. Stepping the text byte by byte after a "*" never splits a
    // character where it matters: what follows the "*" must match whole.
    std::size_t t = 0, m = 0, starM = std::string_view::npos, starT = 0;
    while (t < text.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starT = t;
        } else if (m < mask.size() && mask[m] == '?') {
            t += CharLength(text, t);
            ++m;
        } else if (m < mask.size() && AsciiLower(mask[m]) == AsciiLower(text[t])) {
            ++t;
            ++m;
        } else if (starM != std::string_view::npos) {
            m = starM + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace platform
