// The wildcard match shared by folder listings (MatchesMask) and the ZIP
// component's FileSpec masks, which each add their own rule for names
// without an extension.
#pragma once

#include <string_view>

namespace platform {

// "*" matches any run of characters (also none), "?" exactly one character
// (a UTF-8 sequence counts as one), every other character itself, letters
// without ASCII case. The whole text must match the whole mask.
bool MatchWildcards(std::string_view text, std::string_view mask);

} // namespace platform
