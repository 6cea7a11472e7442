// The one include of the dialog framework for the installer's code:
//
//   #include "platform/win32.h"
//   #include "platform/ui/afx.h"
//
// It brings the MFC-shaped classes (CWinApp, CDialog, CWnd, the control wrappers, CString,
// CFile, the message-map macros, DDX_*, the GDI wrappers) and, on Windows, the SDK headers
// they rest on. See platform/ui/README.md.
#pragma once

#include "platform/win32.h"

#ifdef _WIN32
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <objidl.h>
#include <gdiplus.h>
#endif

#include "platform/ui/afxfile.h"
#include "platform/ui/afxmsg.h"
#include "platform/ui/afxstr.h"
#include "platform/ui/afxwin.h"
