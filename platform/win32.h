// The one include through which the installer's code reaches the operating system.
//
// On Windows this is the real SDK. On Linux the same types, constants and functions are
// supplied by the simulated machine (platform/sim), with 16-bit wide characters, so the
// code above this layer compiles unchanged in both homes.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#include <io.h>
#include <direct.h>
#include <setupapi.h>
#include <shellapi.h>
#include <winspool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#else
#include "win32/types.h"
#include "win32/errors.h"
#include "win32/wide.h"
#include "win32/kernel.h"
#include "win32/registry.h"
#include "win32/spooler.h"
#include "win32/services.h"
#include "win32/shell.h"
#include "win32/user.h"
#endif
