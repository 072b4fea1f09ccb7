#include "archive/Err_Msgs.h"

namespace archive {

std::string LoadStr(int code) {
    switch (code) {
    case E_BADHEADER:
        return "Bad file header";
    case E_BADBLOCK:
        return "Bad block";
    case E_FWRITE:
        return "Error writing to file";
    case E_FCLOSE:
        return "Error closing file";
    case E_BADCRC:
        return "File fails CRC check";
    case E_DISKFULL:
        return "Disk full";
    case E_FILENOTFOUND:
        return "File not found";
    case E_FOPEN:
        return "Error opening file";
    case E_REQUIREDEVENT:
        return "Required event not assigned";
    case E_AMBIGUOUSTREE:
        return "Ambiguous Shannon-Fano decode tree encountered";
    case E_STACKOVERFLOW:
        return "Stack overflow";
    case E_UNKNMETH:
        return "Unsupported compression method";
    case E_USERCANCEL:
        return "User canceled";
    case E_INVALIDPASSWORD:
        return "Invalid password";
    default:
        return "";
    }
}

} // namespace archive
