// The Windows entry point of a framework program (run_program.cpp).
#include "platform/ui/win32/run_program.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow) {
    return drovan::ui::win32::RunProgram(hInstance, hPrevInstance, lpCmdLine, nCmdShow);
}
