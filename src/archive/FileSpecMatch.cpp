#include "archive/FileSpecMatch.h"

#include <algorithm>

#include "platform/AsciiCase.h"

namespace archive {

using platform::AsciiLower;
using platform::SameTextAscii;

namespace {

// Bytes of the character starting at text[i]: a UTF-8 lead byte takes its
// continuation bytes along.
std::size_t CharLength(const std::string& text, std::size_t i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    std::size_t len = 1;
    while (len < n && i + len < text.size() &&
           (static_cast<unsigned char>(text[i + len]) & 0xC0) == 0x80)
        ++len;
    return len;
}

std::string DropQueryAfterStar(const std::string& mask) {
    std::string out;
    for (char c : mask)
        if (!(c == '?' && !out.empty() && out.back() == '*')) out += c;
    return out;
}

bool HasDot(const std::string& s) {
    return s.find('.') != std::string::npos;
}

} // namespace

std::string FolderPart(const std::string& text) {
    std::string::size_type sep = text.find_last_of("\\/");
    if (sep == std::string::npos) return "";
    return text.substr(0, sep) + "\\";
}

std::string FileNamePart(const std::string& text) {
    std::string::size_type sep = text.find_last_of("\\:");
    return sep == std::string::npos ? text : text.substr(sep + 1);
}

bool WildcardMatch(const std::string& textIn, const std::string& maskIn) {
    const std::string mask = DropQueryAfterStar(maskIn);
    std::string text = textIn;
    if (!mask.empty() && mask.back() == '.' && !HasDot(text)) text += '.';
    // Iterative match with one backtrack point, the last "*" seen. A "*" is
    // always followed by a literal, another "*" or the end, so stepping the
    // text byte by byte never splits a character where it matters.
    std::size_t t = 0, m = 0, starM = std::string::npos, starT = 0;
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
        } else if (starM != std::string::npos) {
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

bool MatchesFileSpec(const std::string& name, TStrings& fileSpec, bool recurseDirs) {
    const std::string nameFolder = FolderPart(name);
    for (std::string& entry : fileSpec.Strings) {
        if (entry.empty()) continue;
        if (SameTextAscii(entry, name)) return true;
        std::string mask = entry;
        std::replace(mask.begin(), mask.end(), '/', '\\');
        const std::string maskFolder = FolderPart(mask);
        std::string text;
        if (!recurseDirs) {
            if (!SameTextAscii(maskFolder, nameFolder)) continue;
            text = name;
        } else {
            text = maskFolder.empty() ? FileNamePart(name) : name;
        }
        if (WildcardMatch(text, mask)) return true;
        // Retry with a "." on each side that lacks one, so "*.*" also takes
        // names without an extension and the empty name of a folder entry.
        // A mask is written back extended only when that made it match: kept
        // after a miss, "dir\*" would become "dir\*." and miss "dir\x.txt".
        if (!HasDot(text)) text += '.';
        const bool extend = !HasDot(mask);
        if (extend) mask += '.';
        if (WildcardMatch(text, mask)) {
            if (extend) entry += '.';
            return true;
        }
    }
    return false;
}

} // namespace archive
