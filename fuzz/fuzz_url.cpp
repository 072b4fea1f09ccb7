// SplitUrl and the Content-Length parsing on arbitrary text.
#include <cstdint>
#include <string>

#include "http/U_HttpGet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string host, path;
    SplitUrl(text, host, path);
    if (host.size() + path.size() > text.size() + 1) __builtin_trap();
    std::int32_t length = -1;
    if (ParseContentLength(text, length) && length < 0) __builtin_trap();
    return 0;
}
