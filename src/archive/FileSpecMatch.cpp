#include "archive/FileSpecMatch.h"

#include <algorithm>

#include "platform/AsciiCase.h"
#include "platform/Wildcard.h"

namespace archive {

using platform::SameTextAscii;

namespace {

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
    return platform::MatchWildcards(text, mask);
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
