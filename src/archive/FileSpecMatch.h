// Selection of entries by the masks of FileSpec. Names are converted stored
// names with "\" separators; case is ignored for the letters A to Z only.
#pragma once

#include <string>

#include "archive/ZipTypes.h"

namespace archive {

// Everything through the last "\" or "/", ending in "\"; "" when there is none.
std::string FolderPart(const std::string& text);
// Everything after the last "\" or ":".
std::string FileNamePart(const std::string& text);

// The wildcard match of folder listings (platform::MatchWildcards), with the
// FileSpec's own rules: a "?" right after a "*" is dropped, and when the mask
// ends in "." and the text has no ".", the text gets a "." first (a listing
// mask takes such a text for a mask ending in ".*" too; MatchesFileSpec
// retries with a "." instead).
bool WildcardMatch(const std::string& text, const std::string& mask);

// Whether name is selected by the first mask that accepts it. A mask without
// a "." that needed the "." retry is written back with it.
bool MatchesFileSpec(const std::string& name, TStrings& fileSpec, bool recurseDirs);

} // namespace archive
