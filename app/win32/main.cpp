// drovan.exe's start. Without /quiet it starts as every framework program does on Windows
// (the common controls' classes and the Win32 backend, which shows the wizard, or a command
// line's message box). With /quiet no backend is made at all, so that no window can appear;
// the application object runs the wizard on the headless backend, answered from the
// switches (app/cli).
#include "app/cli/CommandLine.h"
#include "platform/ui/afxwin.h"
#include "platform/ui/win32/run_program.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    if (CCommandLine::AsksQuiet(lpCmdLine)) return AfxWinMain(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
    return drovan::ui::win32::RunProgram(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
