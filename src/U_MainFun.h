// The non-GUI part of the program's shared functions, one header per concern;
// this header brings them all. The functions that fill controls live in
// U_MainFunGui.
#pragma once

#include "U_MainFunBuild.h"
#include "U_MainFunDataFolder.h"
#include "U_MainFunFolder.h"
#include "U_MainFunSearch.h"
#include "U_MainFunText.h"
#include "U_MainFunUpdate.h"
