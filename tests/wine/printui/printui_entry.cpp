// PRINTUI.DLL of the Wine test prefix: a PrintUIEntry that carries out /if, which Wine's own
// print UI does not (it logs "command not implemented" and returns). scripts/wine-env.sh puts
// it into the prefix's system folder and tells Wine to prefer it to its built-in one, so that
// the program's own "rundll32 PRINTUI.DLL,PrintUIEntry /if /n ... /f ... /r ... /m ..." from the
// system folder reaches it, as on Windows. Built for the Wine tests only, never shipped.
//
// It shows no window: a failure (which Windows' print UI would show in a message box unless
// /q is given) is written to the error output and to printui.log in the Windows temporary
// folder, with the command line, where the tests look for it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "install_printer_win32.h"
#include "printui_command.h"

namespace {

void Report(const std::u16string& arguments, const printui::Failure& failure) {
    std::string line = "PrintUIEntry " + printui::ToUtf8(arguments) + ": " + failure.message + " (error " +
                       std::to_string(failure.code) + ")\r\n";
    std::fputs(line.c_str(), stderr);
    wchar_t path[MAX_PATH + 16];
    UINT n = GetWindowsDirectoryW(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    lstrcatW(path, L"\\Temp\\printui.log");
    HANDLE log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
}

}  // namespace

// rundll32 hands over the text after the entry point's name.
extern "C" __declspec(dllexport) void CALLBACK PrintUIEntryW(HWND, HINSTANCE, LPWSTR commandLine, int) {
    std::u16string arguments(printui::View(reinterpret_cast<const WCHAR*>(commandLine)));
    printui::Failure failure;
    auto command = printui::ParsePrintUiEntry(arguments, &failure);
    if (!command) {
        Report(arguments, failure);
        return;
    }
    printui::InstallRequest request{command->NewPrinterName(), *command->infPath, *command->port, *command->model};
    if (!printui::InstallPrinterFromInf(request, &failure)) Report(arguments, failure);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) DisableThreadLibraryCalls(instance);
    return TRUE;
}
