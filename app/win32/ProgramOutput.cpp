// The standard streams of a Windows GUI program. Windows gives a program of the GUI
// subsystem no console: its standard handles are what its starter handed it. A deployment
// tool, a script's redirection (drovan.exe ... > out.txt 2>&1) or PowerShell capturing the
// output hand it a file or a pipe, and the text goes there in UTF-8 with CR LF line ends.
// Started from a console window without redirection it has no handles at all: then it
// attaches to that console (AttachConsole(ATTACH_PARENT_PROCESS)) and writes there with
// WriteConsoleW, so that Chinese shows whatever the console's code page. cmd.exe does not
// wait for a GUI program typed at its prompt, so the text may come after the next prompt:
// `start /wait drovan.exe ...` waits (and sets %ERRORLEVEL%), as a batch file does by itself.
// Started by Explorer or a service, with neither handles nor a console, nothing is written.
#include <windows.h>

#include <mutex>
#include <string>

#include "app/cli/ProgramOutput.h"

namespace {

std::mutex g_outputMutex;
bool g_bPrepared = false;
HANDLE g_hOut = NULL;
HANDLE g_hErr = NULL;

bool Usable(HANDLE h) { return h != NULL && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN; }

void PrepareLocked() {
    if (g_bPrepared) return;
    g_bPrepared = true;
    g_hOut = GetStdHandle(STD_OUTPUT_HANDLE);
    g_hErr = GetStdHandle(STD_ERROR_HANDLE);
    bool bOut = Usable(g_hOut);
    bool bErr = Usable(g_hErr);
    if ((bOut && bErr) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        if (!bOut) g_hOut = NULL;
        if (!bErr) g_hErr = NULL;
        return;
    }
    // A handle that was handed over (one stream redirected) is kept; the other goes to the
    // console.
    auto console = [] {
        return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    };
    if (!bOut) g_hOut = console();
    if (!bErr) g_hErr = console();
    if (!Usable(g_hOut)) g_hOut = NULL;
    if (!Usable(g_hErr)) g_hErr = NULL;
}

void WriteLines(bool bError, const CString& strText) {
    std::wstring text;
    for (int i = 0; i < strText.GetLength(); ++i) {
        WCHAR ch = strText[i];
        if (ch == L'\n' && (i == 0 || strText[i - 1] != L'\r')) text += L'\r';
        text += ch;
    }
    if (text.empty() || text.back() != L'\n') text += L"\r\n";

    std::lock_guard<std::mutex> lock(g_outputMutex);
    PrepareLocked();
    HANDLE h = bError ? g_hErr : g_hOut;
    if (h == NULL) return;
    DWORD dwMode = 0;
    DWORD dwWritten = 0;
    if (GetConsoleMode(h, &dwMode)) {
        WriteConsoleW(h, text.c_str(), static_cast<DWORD>(text.size()), &dwWritten, NULL);
        return;
    }
    int nBytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), NULL, 0, NULL, NULL);
    std::string utf8(static_cast<size_t>(nBytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], nBytes, NULL, NULL);
    WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &dwWritten, NULL);
}

}  // namespace

void WriteOutput(const CString& strText) { WriteLines(false, strText); }
void WriteError(const CString& strText) { WriteLines(true, strText); }
