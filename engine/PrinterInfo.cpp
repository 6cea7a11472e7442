#include "engine/PrinterInfo.h"

#include <stdarg.h>
#include <string.h>

#include "engine/Log.h"

#include <stdlib.h>

CPrinterInfo::CPrinterInfo() : m_nRefused(0) {
    memset(m_szAppPath, 0, sizeof(m_szAppPath));
    memset(m_szInfPath, 0, sizeof(m_szInfPath));
    memset(m_szPrinterName, 0, sizeof(m_szPrinterName));
    memset(m_szPortName, 0, sizeof(m_szPortName));
    GetAppPath();
}

CPrinterInfo::~CPrinterInfo() {}

int CPrinterInfo::WideToAnsi(LPCWSTR pszWide, BYTE* pOut, int nOutBytes) {
    return LogWideToAnsi(pszWide, pOut, nOutBytes);
}

void CPrinterInfo::Log(LPCWSTR pszFormat, ...) {
    WCHAR szLine[1024];
    szLine[0] = 0;
    memset(szLine + 1, 0, sizeof(szLine) - sizeof(WCHAR));
    va_list args;
    va_start(args, pszFormat);
    wvsprintfW(szLine, pszFormat, args);
    va_end(args);
    size_t n = wcslen(szLine);
    DWORD dwSize = static_cast<DWORD>(2 * n + 2);
    BYTE* pConverted = static_cast<BYTE*>(calloc(dwSize, 1));
    if (pConverted == NULL) return;  // logging never fails the caller
    WideToAnsi(szLine, pConverted, static_cast<int>(dwSize));
    int nResult = g_log.Write(pConverted, dwSize);
    (void)nResult;
    free(pConverted);
}

void CPrinterInfo::GetAppPath() {
    WCHAR szModule[APP_PATH_CAPACITY];
    memset(szModule, 0, sizeof(szModule));
    DWORD dwLength = GetModuleFileNameW(NULL, szModule, APP_PATH_CAPACITY);
    memset(m_szAppPath, 0, sizeof(m_szAppPath));
    // A path that fills the whole buffer was cut short (Windows since Vista says so with
    // ERROR_INSUFFICIENT_BUFFER, XP only by the length, and leaves it unterminated): its
    // last backslash would name a parent folder and the packages found there. Refuse it
    // like any value that does not fit; the record then installs nothing.
    if (dwLength == 0 || dwLength >= APP_PATH_CAPACITY) {
        m_nRefused |= REFUSED_APP;
        Log(TEXT("kwl at PrinterInfo GetAppPath() refused nLength=%d,nCapacity=%d"), static_cast<int>(dwLength),
            static_cast<int>(APP_PATH_CAPACITY));
        return;
    }
    // Keep the directory with its trailing backslash. A path without any backslash
    // (never seen on Windows) leaves an empty directory: the files are then looked up
    // nowhere rather than somewhere unintended.
    size_t i = dwLength;
    while (i > 0 && szModule[i - 1] != 0x5C) --i;
    szModule[i] = 0;
    wcsncpy_s(m_szAppPath, APP_PATH_CAPACITY, szModule, _TRUNCATE);
    m_nRefused &= ~REFUSED_APP;
    Log(TEXT("kwl at PrinterInfo GetAppPath() m_szAppPath=%s"), m_szAppPath);
}

bool CPrinterInfo::CopyField(WCHAR* pszField, size_t nCapacity, LPCWSTR pszValue,
                             LPCWSTR pszTag, int nField) {
    size_t nLength = pszValue != NULL ? wcslen(pszValue) : 0;
    if (pszValue == NULL || nLength >= nCapacity) {
        // A shortened name would install a printer nobody asked for: refuse it.
        pszField[0] = 0;
        m_nRefused |= nField;
        Log(TEXT("kwl at PrinterInfo %s refused nLength=%d,nCapacity=%d"), pszTag,
            static_cast<int>(nLength), static_cast<int>(nCapacity));
        return false;
    }
    wcscpy_s(pszField, nCapacity, pszValue);
    m_nRefused &= ~nField;
    return true;
}

void CPrinterInfo::SetPrinterName(LPCWSTR pszPrinterName) {
    if (CopyField(m_szPrinterName, NAME_CAPACITY, pszPrinterName, TEXT("SetPrinterName()"), REFUSED_NAME))
        Log(TEXT("kwl at PrinterInfo SetPrinterName() m_szPrinterName=%s"), m_szPrinterName);
}

void CPrinterInfo::SetInfFilePath(LPCWSTR pszInfFileName) {
    size_t nApp = wcslen(m_szAppPath);
    size_t nName = pszInfFileName != NULL ? wcslen(pszInfFileName) : 0;
    // Without the program's directory the INF file would be looked for relative to the
    // current directory: refuse that too.
    if (pszInfFileName == NULL || nApp == 0 || nApp + nName >= INF_PATH_CAPACITY) {
        m_szInfPath[0] = 0;
        m_nRefused |= REFUSED_INF;
        Log(TEXT("kwl at PrinterInfo SetInfFilePath() refused nLength=%d,nCapacity=%d"),
            static_cast<int>(nApp + nName), static_cast<int>(INF_PATH_CAPACITY));
        return;
    }
    wcscpy_s(m_szInfPath, INF_PATH_CAPACITY, m_szAppPath);
    wcscat_s(m_szInfPath, INF_PATH_CAPACITY, pszInfFileName);
    m_nRefused &= ~REFUSED_INF;
    Log(TEXT("kwl at PrinterInfo SetInfFilePath() m_szInfPath=%s"), m_szInfPath);
}

void CPrinterInfo::SetPortName(LPCWSTR pszPortName) {
    if (CopyField(m_szPortName, NAME_CAPACITY, pszPortName, TEXT("SetInfFilePath()"), REFUSED_PORT))
        Log(TEXT("kwl at PrinterInfo SetInfFilePath() m_szPortName=%s"), m_szPortName);
}

bool Is64BitSystem() {
    SYSTEM_INFO si;
    memset(&si, 0, sizeof(si));
    GetNativeSystemInfo(&si);
    return si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ||
           si.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}
