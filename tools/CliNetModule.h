// The module of vimbrel-cli's fetch and xmltv (CliNetCommands.h), which the
// program carries inside itself: one file to install, and no library loaded
// at start that only those two commands use.
#pragma once

#include "CommandLine.h"

// Loads the module (once) and runs command ("fetch" or "xmltv") in it; gives
// its exit status, or throws as the command threw.
int RunNetCommand(const char* command, const TArguments& arguments);
