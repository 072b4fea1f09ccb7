// The order in which a folder listing gives its names: the order of the
// Windows default file system, whose folders are kept sorted by name. So a
// listing reads the same on every file system and every machine.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The key a native (UTF-8) name sorts by: its UTF-16 code units, each
// upper-cased on its own, compared as numbers. Bytes that are not UTF-8 stand
// for U+FFFD.
std::u16string NameOrderKey(std::string_view name);

} // namespace platform
