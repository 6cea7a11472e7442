// The one include through which the installer's code reaches the operating system.
//
// On Windows this is the real SDK. On Linux the same types, constants and functions are
// supplied by the simulated machine (platform/sim), with 16-bit wide characters, so the
// code above this layer compiles unchanged in both homes.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <windowsx.h>
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

// windowsx.h's message crackers shadow member functions of the dialog framework's classes
// (CWnd::SubclassWindow and friends); the framework wants only GET_X_LPARAM and
// GET_Y_LPARAM from it.
#undef SubclassWindow
#undef GetFirstChild
#undef GetNextSibling
#undef GetWindowID

// The resource compiler's "no ID" for labels, and the message that stands for every
// WM_CTLCOLORxxx in a message map: neither is in the SDK headers.
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#ifndef WM_CTLCOLOR
#define WM_CTLCOLOR 0x0019
#endif
#else
#include "win32/types.h"
#include "win32/errors.h"
#include "win32/wide.h"
#include "win32/kernel.h"
#include "win32/registry.h"
#include "win32/spooler.h"
#include "win32/services.h"
#include "win32/setupapi.h"
#include "win32/shell.h"
#include "win32/user.h"
#endif
