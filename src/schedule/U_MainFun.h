// The non-GUI part of the program's shared functions, one header per concern;
// this header brings them all. The functions that fill controls live in
// U_MainFunGui.
#pragma once

#include "schedule/U_MainFunBuild.h"
#include "schedule/U_MainFunDataFolder.h"
#include "schedule/U_MainFunFolder.h"
#include "schedule/U_MainFunSearch.h"
#include "schedule/U_MainFunText.h"
#include "schedule/U_MainFunUpdate.h"
