// Where the program keeps lastsch.sch, showtime.zip and 节目单: beside itself
// when it may write there (a build tree, a copy carried on a stick), otherwise
// in the user's data folder. The decision is kept apart from the facts it is
// made of, so that every case can be tried on one machine: as root, almost
// every folder is writable.
#pragma once

#include <string>

struct TDataFolderFacts {
    std::string ExecutableFolder; // with its trailing separator
    bool ExecutableFolderWritable = false;
    // The executable sits in the folder the build installs its programs to:
    // such a copy never writes there, not even when run as root.
    bool Installed = false;
    std::string XdgDataHome; // as the environment gives it; empty when unset
    std::string Home;        // the user's home folder; empty when none is known
};

// The folder, with its trailing separator, that holds the program's files.
std::string ChooseDataFolder(const TDataFolderFacts& facts);

// The facts of the running program.
TDataFolderFacts RunningProgramFacts();

// The running program's folder by the rule above, made (with the folders
// above it) when it does not exist yet.
std::string OpenDataFolder();
