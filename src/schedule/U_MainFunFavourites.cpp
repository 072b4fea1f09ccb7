#include "schedule/U_MainFunFavourites.h"

#include "platform/Registry.h"

namespace {

const char* const FavouritesValue = "Favourites";
// A station's name is a file name: it never holds a slash.
constexpr char Separator = '/';

} // namespace

std::vector<std::string> ReadFavourites() {
    platform::TRegistry registry;
    std::vector<std::string> names;
    if (!registry.OpenKey(platform::VimbrelKey, false) || !registry.ValueExists(FavouritesValue))
        return names;
    std::string text;
    try {
        text = registry.ReadString(FavouritesValue);
    } catch (const platform::ERegistryException&) {
        return names; // a value of another type keeps nothing
    }
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find(Separator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) names.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

void WriteFavourites(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : std::string(1, Separator)) + name;
    platform::TRegistry registry;
    if (!registry.OpenKey(platform::VimbrelKey, true))
        throw platform::ERegistryException("Failed to set data for '" +
                                           std::string(FavouritesValue) + "'");
    registry.WriteString(FavouritesValue, text);
}
