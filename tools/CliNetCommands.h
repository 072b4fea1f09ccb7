// The commands of vimbrel-cli that download or read an XMLTV guide. They need
// libcurl and the guide converter's libraries, whose loading alone costs a
// process more than a whole search, so they live in a module of their own
// that vimbrel-cli carries inside itself and loads only for them
// (CliNetModule.h).
#pragma once

#include <string>

#include "CommandLine.h"

// One call of a command, and how it ended. Errors come back as text, not as
// exceptions, so that none has to cross from the module into the program.
struct TNetCommandCall {
    std::string command; // "fetch" or "xmltv"
    const TArguments* arguments = nullptr;
    int status = 0;          // the exit status of a command that ran
    bool usageError = false; // error is a usage error (exit 2)
    std::string error;       // why the command failed, when it did not end by itself
};

// The module's entry: runs call.command with call.arguments.
extern "C" void VimbrelCliNetCommand(TNetCommandCall& call);
using TNetCommandEntry = void(TNetCommandCall&);
