// What the update does besides downloading: extracting the archive and
// clearing away what it left.
#pragma once

#include <string>

namespace archive {
class TUnZip;
}

// Extracts the entries of archive that mask selects (stored names, "\"
// separated) below folder with extractor.
void ExtractArchive(archive::TUnZip& extractor, const std::string& archive,
                    const std::string& folder, const std::string& mask = "*.*");
// Deletes a folder tree outright, silently; true when it was deleted.
bool DeleteFolder(const std::string& path);
