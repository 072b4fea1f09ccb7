// Where an entry is written: the output path the events see, split into a
// trusted folder and the part below it that comes from the archive.
#pragma once

#include <string>

namespace archive {

struct TOutputPath {
    std::string Path;     // folder and file name, "\" separated
    std::string Base;     // trusted folder, ending in "\"
    std::string Relative; // below Base, taken from the stored name
    // The stored name would reach outside Base (a ".." component, an absolute
    // or drive-prefixed path the drive rule leaves) or holds a control
    // character, as no Windows name does: nothing is written.
    bool Unsafe = false;
};

// The output path of a converted stored name ("\" separators). With
// useStoredDirs the name's folders are kept below extractDir after a drive
// ("C:", "C:\") or one leading "\" is dropped; without, only its file-name
// part is used. extractDir ends in "\"; a relative one is taken from the
// current folder.
TOutputPath MakeOutputPath(const std::string& extractDir, const std::string& name,
                           bool useStoredDirs);

// A path chosen by a handler (OnRenameFile, OnFileExists) is trusted as a whole.
TOutputPath TrustedOutputPath(const std::string& path);

} // namespace archive
