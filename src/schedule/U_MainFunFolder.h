// The program folder and the files formed from it: the one place that names
// the program's files. Where the folder is, U_MainFunDataFolder decides.
#pragma once

#include <string>

// The folder that holds the program's files, with its trailing separator
// (U_MainFunDataFolder.h tells which); every file the program uses is formed
// from it. Tests point it at a temporary folder.
const std::string& ProgramFolder();
void SetProgramFolder(std::string folder);

std::string ScheduleFilePath();  // lastsch.sch
std::string UpdateArchivePath(); // showtime.zip
std::string ExtractionFolder();  // the program folder without its separator
std::string StationFolderPath(); // 节目单
// The station folder's name, as the update archive stores it and the disk holds it.
std::string StationFolderName();
