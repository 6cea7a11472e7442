#include "engine/Log.h"

#include <stdlib.h>

CLogFile::PFNLOGOBSERVER CLogFile::s_pfnObserver = NULL;

namespace {
const WCHAR kLogPath[] = TEXT("d:\\myLog.txt");
}

CLogFile::CLogFile() : m_pszPath(NULL) {
    size_t nLength = wcslen(kLogPath);
    m_pszPath = static_cast<WCHAR*>(calloc(nLength + 1, sizeof(WCHAR)));
    if (m_pszPath != NULL) {
        wsprintfW(m_pszPath, TEXT("%s"), kLogPath);
        m_pszPath[nLength] = 0;
    }
}

CLogFile::~CLogFile() { free(m_pszPath); }

int CLogFile::Open() { return 1; }

int CLogFile::Write(const BYTE* pData, DWORD nBytes) {
    if (s_pfnObserver != NULL) s_pfnObserver(pData, nBytes);
    return 1;
}

void CLogFile::SetTestObserver(PFNLOGOBSERVER pfnObserver) { s_pfnObserver = pfnObserver; }

int LogWideToAnsi(LPCWSTR pszWide, BYTE* pOut, int nOutBytes) {
    return WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK | WC_DEFAULTCHAR, pszWide,
                               nOutBytes / 2 - 1, reinterpret_cast<LPSTR>(pOut), nOutBytes, NULL,
                               NULL);
}

void WriteLogLine(LPCWSTR pszLine, PFNWIDETOANSI pfnWideToAnsi) {
    size_t n = wcslen(pszLine);
    DWORD dwSize = static_cast<DWORD>(2 * n + 2);
    BYTE* pConverted = static_cast<BYTE*>(calloc(dwSize, 1));
    if (pConverted == NULL) return;  // logging never fails the caller
    pfnWideToAnsi(pszLine, pConverted, static_cast<int>(dwSize));
    int nResult = g_log.Write(pConverted, dwSize);
    (void)nResult;
    free(pConverted);
}
