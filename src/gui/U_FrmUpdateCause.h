// Why an update failed, in the user's words: the causes the download layer
// and the guide reader report, as the update dialog shows them.
#pragma once

#include <cstdint>
#include <string>

namespace guide {
class EGuideError;
}

// A WinInet error code (0: none) or an HTTP status other than 200, for host.
std::string DownloadCause(std::uint32_t error, int status, const std::string& host);
// A guide that could not be packed.
std::string GuideCause(const guide::EGuideError& e);
// A file that could not be opened or read, errno giving why.
std::string FileCause(const std::string& path, int error);
// The host of an http or https address ("srv" of "https://u@srv:8080/x").
std::string HostOfUrl(const std::string& url);
