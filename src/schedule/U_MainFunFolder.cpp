#include "schedule/U_MainFunFolder.h"

#include "platform/Files.h"
#include "schedule/U_MainFunDataFolder.h"

namespace {

std::string& ProgramFolderStorage() {
    static std::string folder = OpenDataFolder();
    return folder;
}

} // namespace

const std::string& ProgramFolder() {
    return ProgramFolderStorage();
}

void SetProgramFolder(std::string folder) {
    if (!folder.empty() && folder.back() != platform::PathDelim) folder += platform::PathDelim;
    ProgramFolderStorage() = std::move(folder);
}

std::string ScheduleFilePath() {
    return ProgramFolder() + "lastsch.sch";
}

std::string UpdateArchivePath() {
    return ProgramFolder() + "showtime.zip";
}

std::string ExtractionFolder() {
    const std::string& folder = ProgramFolder();
    return folder.substr(0, folder.size() - 1);
}

std::string StationFolderName() {
    return "节目单";
}

std::string StationFolderPath() {
    return ProgramFolder() + StationFolderName();
}
