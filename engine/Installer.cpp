// Installation of a printer through the system's print UI, run with rundll32 and waited
// for; success is decided by looking for the printer in the spooler afterwards.
#include <stdlib.h>
#include <string.h>

#include "engine/LocalPrinters.h"
#include "engine/PrinterInfo.h"

namespace {

const DWORD kPrintUiWaitMs = 120000;

bool HasQuote(LPCWSTR psz) { return wcschr(psz, TEXT('"')) != NULL; }

}  // namespace

LPCWSTR CPrinterInfo::LaunchErrorMessage(DWORD dwError) {
    switch (dwError) {
        case ERROR_FILE_NOT_FOUND: return TEXT("The specified file was not found.");
        case ERROR_PATH_NOT_FOUND: return TEXT("The specified path was not found.");
        case ERROR_ACCESS_DENIED: return TEXT("Access to the specified file is denied.");
        case ERROR_NOT_ENOUGH_MEMORY:
            return TEXT("There is not enough memory to perform the specified action.");
        case ERROR_SHARING_VIOLATION: return TEXT("A sharing violation occurred.");
        case ERROR_NO_ASSOCIATION:
            return TEXT("There is no application associated with the given file name extension.");
        case ERROR_DDE_FAIL: return TEXT("The Dynamic Data Exchange (DDE) transaction failed.");
        case ERROR_DLL_NOT_FOUND:
            return TEXT("One of the library files necessary to run the application can't be found.");
        case ERROR_CANCELLED:
            return TEXT("The function prompted the user for additional information, but the user canceled the request.");
        default: return TEXT("Other error occurred.");
    }
}

bool CPrinterInfo::FormatInstallCommand(WCHAR* pszCmd) {
    memset(pszCmd, 0, COMMAND_CAPACITY * sizeof(WCHAR));
    // A record that refused a value, or a value that would close its quotes and add
    // switches of its own to the print UI's command line, installs nothing.
    if (!IsComplete() || m_szPrinterName[0] == 0 || m_szInfPath[0] == 0 || m_szPortName[0] == 0 ||
        HasQuote(m_szPrinterName) || HasQuote(m_szInfPath) || HasQuote(m_szPortName))
        return false;
    swprintf_s(pszCmd, COMMAND_CAPACITY, TEXT("PRINTUI.DLL,PrintUIEntry /if /n \"%s\" /f \"%s\" /r \"%s\" /m \"%s\" "),
               m_szPrinterName, m_szInfPath, m_szPortName, m_szPrinterName);
    return true;
}

void CPrinterInfo::GetRundllPath(WCHAR* pszPath) {
    // The program runs elevated: the print UI is started from the system directory by its
    // full path, never found by the shell's search, which would try the current directory
    // (a downloads folder, say) first.
    memset(pszPath, 0, MAX_PATH * sizeof(WCHAR));
    UINT nDir = GetSystemDirectoryW(pszPath, MAX_PATH);
    if (nDir == 0 || nDir + 14 >= MAX_PATH) {
        wcscpy_s(pszPath, MAX_PATH, TEXT("C:\\Windows\\system32"));
    }
    wcscat_s(pszPath, MAX_PATH, TEXT("\\rundll32.exe"));
}

int CPrinterInfo::NormalInstaller(LPCWSTR pszPrinterName, LPCWSTR pszPortName) {
    WCHAR szCmd[COMMAND_CAPACITY];
    if (pszPrinterName != NULL) SetPrinterName(pszPrinterName);
    if (pszPortName != NULL) SetPortName(pszPortName);

    if (!FormatInstallCommand(szCmd)) {
        Log(TEXT("kwl at PrinterInfo NormalInstaller() refused m_szPrinterName=%s,m_szInfPath=%s,m_szPortName=%s"),
            m_szPrinterName, m_szInfPath, m_szPortName);
        return 0;
    }
    Log(TEXT("kwl at PrinterInfo NormalInstaller() cmd=%s"), szCmd);

    if (ExecutePrint(szCmd) == 0) {
        Log(TEXT("kwl at PrinterInfo NormalInstaller() ExecutePrint(cmd) false"));
        return 0;
    }
    Sleep(500);
    bool bRequested = false;
    if (IsDriverInstall(m_szPrinterName, &bRequested) && bRequested) {
        Log(TEXT("kwl at PrinterInfo NormalInstaller() IsDriverInstall(m_szPrinterName) true"));
        return 1;
    }
    Log(TEXT("kwl at PrinterInfo NormalInstaller() IsDriverInstall(m_szPrinterName) false"));
    return 0;
}

int CPrinterInfo::ExecutePrint(LPCWSTR pszParameters) {
    WCHAR szRundll[MAX_PATH];
    GetRundllPath(szRundll);

    SHELLEXECUTEINFOW ShExeInfo;
    memset(&ShExeInfo, 0, sizeof(ShExeInfo));
    ShExeInfo.cbSize = sizeof(ShExeInfo);
    ShExeInfo.fMask = SEE_MASK_NOCLOSEPROCESS;
    ShExeInfo.hwnd = NULL;
    ShExeInfo.lpVerb = TEXT("open");
    ShExeInfo.lpFile = szRundll;
    ShExeInfo.lpParameters = pszParameters;
    ShExeInfo.lpDirectory = NULL;
    ShExeInfo.nShow = SW_SHOWNORMAL;
    ShExeInfo.hInstApp = NULL;
    ShExeInfo.hProcess = NULL;
    Log(TEXT("kwl at PrinterInfo ExecutePrint() lpParameters=%s"), pszParameters);

    if (ShellExecuteExW(&ShExeInfo)) {
        Log(TEXT("kwl at PrinterInfo ExecutePrint() ShellExecuteEx(&ShExeInfo) true"));
        WaitForSingleObject(ShExeInfo.hProcess, kPrintUiWaitMs);
        Log(TEXT("kwl at PrinterInfo ExecutePrint() WaitForSingleObject()"));
        if (ShExeInfo.hProcess != NULL) CloseHandle(ShExeInfo.hProcess);
        return 1;
    }
    LPCWSTR pszMessage = LaunchErrorMessage(GetLastError());
    MessageBoxW(NULL, pszMessage, TEXT("ERROR"), MB_ICONERROR);
    Log(TEXT("kwl at PrinterInfo ExecutePrint() ShellExecuteEx(&ShExeInfo)  false strErrorMessage=%s"),
        pszMessage);
    return 0;
}

int CPrinterInfo::IsDriverInstall(LPCWSTR pszName) { return IsDriverInstall(pszName, NULL); }

int CPrinterInfo::IsDriverInstall(LPCWSTR pszName, bool* pbRequested) {
    if (pbRequested != NULL) *pbRequested = false;
    size_t n = wcslen(pszName);
    size_t nRequested = wcslen(m_szPrinterName);
    DWORD dwCount = 0;
    bool bFailed = false;
    BYTE* pBuffer = EnumLocalPrinters(&dwCount, &bFailed);
    if (bFailed) return 0;
    const PRINTER_INFO_2W* pPrinters = reinterpret_cast<const PRINTER_INFO_2W*>(pBuffer);
    int bInstall = 0;
    for (DWORD i = 0; i < dwCount; ++i) {
        const PRINTER_INFO_2W& p = pPrinters[i];
        if (p.pPrinterName == NULL || wcsncmp(p.pPrinterName, pszName, n) != 0) continue;
        bInstall = 1;
        if (pbRequested == NULL) break;
        // The printer asked for may come after another one the name rule matches (a copy
        // on another port): look on until it is found.
        if (IsRequestedPrinter(p, nRequested)) {
            *pbRequested = true;
            break;
        }
    }
    free(pBuffer);
    Log(TEXT("kwl at PrinterInfo DeletePrintJob() IsDriverInstall() pszDriverName=%s,bInstall=%d"),
        pszName, bInstall);
    return bInstall;
}

bool CPrinterInfo::IsRequestedPrinter(const PRINTER_INFO_2W& p, size_t nName) const {
    // A printer of the name left on another port, or with another driver, must not turn
    // a failed attempt into success. The spooler keeps port and driver names in the
    // letter case it was first given and compares them without regard to case: so do we.
    return p.pPrinterName != NULL && p.pPortName != NULL && p.pDriverName != NULL &&
           wcsncmp(p.pPrinterName, m_szPrinterName, nName) == 0 && _wcsicmp(p.pPortName, m_szPortName) == 0 &&
           _wcsicmp(p.pDriverName, m_szPrinterName) == 0;
}

bool CPrinterInfo::InstallPrinter() { return NormalInstaller(NULL, NULL) != 0; }
