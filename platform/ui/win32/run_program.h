// How a framework program starts on Windows: the common controls' classes and the Win32
// backend, then the application object through AfxWinMain; returns its exit code.
#pragma once

#include "platform/win32.h"

namespace drovan::ui::win32 {

int RunProgram(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow);

}  // namespace drovan::ui::win32
