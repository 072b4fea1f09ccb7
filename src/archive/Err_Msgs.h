// Error numbers the ZIP component reports through OnError, with their texts.
#pragma once

#include <stdexcept>
#include <string>

namespace archive {

enum : int {
    E_BADHEADER = 25114,      // local header missing or entry refused by the central walk
    E_BADBLOCK = 25116,       // unshrink: bad code stream
    E_FWRITE = 25136,         // short write, target in the way
    E_FCLOSE = 25138,         // closing an output file failed
    E_BADCRC = 25151,         // CRC mismatch and no OnEnd handler
    E_DISKFULL = 25160,       // disk full (run ends)
    E_FILENOTFOUND = 25192,   // Extract with no ArchiveFile
    E_FOPEN = 25235,          // archive cannot be opened, output cannot be created
    E_REQUIREDEVENT = 25270,  // OnFileExists or OnGetPassword needed but unassigned
    E_AMBIGUOUSTREE = 25293,  // explode: bad Shannon-Fano tree
    E_STACKOVERFLOW = 25299,  // unshrink decode stack full
    E_UNKNMETH = 25326,       // compression method not decoded
    E_USERCANCEL = 25443,     // replaces every code once the run is cancelled
    E_INVALIDPASSWORD = 26517 // password refused
};

// The text of an error number ("" for a number the component never uses).
std::string LoadStr(int code);

// A run-ending error, raised after it has been reported; Extract absorbs it.
class E_RAISE : public std::runtime_error {
public:
    explicit E_RAISE(int code) : std::runtime_error(LoadStr(code)), ECode(code) {}
    int ECode;
};

} // namespace archive
