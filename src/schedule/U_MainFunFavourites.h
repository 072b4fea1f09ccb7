// The user's favourite stations, by name, in the order they were chosen:
// remembered under the program's own key, so that they outlive the program
// and every update. A name missing from the schedule stays a favourite for
// when its station returns.
#pragma once

#include <string>
#include <vector>

// Names in the platform's narrow encoding. None where nothing was kept yet
// or the hive cannot be read.
std::vector<std::string> ReadFavourites();
// Throws platform::ERegistryException when the hive's file cannot be written.
void WriteFavourites(const std::vector<std::string>& names);
