#include "engine/Log.h"

#include <stdlib.h>
#include <string.h>

#include <mutex>

CLogFile::PFNLOGOBSERVER CLogFile::s_pfnObserver = NULL;

namespace {

const WCHAR kLogPath[] = TEXT("d:\\myLog.txt");
// Lines kept until the run decides about the sink: only the static objects' construction
// writes before that (one line, or two when a path is refused).
const int kKeptLines = 16;

enum ESinkState { SINK_UNDECIDED, SINK_OFF, SINK_ON };

// Constant-initialised, so that a line handed over during static construction finds it.
std::mutex g_sinkMutex;
ESinkState g_eSinkState = SINK_UNDECIDED;
HANDLE g_hSink = NULL;
BYTE* g_apKept[kKeptLines];
DWORD g_anKept[kKeptLines];
int g_nKept = 0;

// Writes wide text as UTF-8 followed by CR LF. A failed write is ignored: logging never
// fails its caller.
void WriteUtf8Line(const WCHAR* pszText, int nChars) {
    int nBytes = nChars > 0 ? WideCharToMultiByte(CP_UTF8, 0, pszText, nChars, NULL, 0, NULL, NULL) : 0;
    char* pUtf8 = static_cast<char*>(calloc(static_cast<size_t>(nBytes) + 2, 1));
    if (pUtf8 == NULL) return;
    if (nBytes > 0) WideCharToMultiByte(CP_UTF8, 0, pszText, nChars, pUtf8, nBytes, NULL, NULL);
    pUtf8[nBytes] = '\r';
    pUtf8[nBytes + 1] = '\n';
    DWORD dwWritten = 0;
    WriteFile(g_hSink, pUtf8, static_cast<DWORD>(nBytes) + 2, &dwWritten, NULL);
    free(pUtf8);
}

// One handed-over line: its text ends at the first zero byte of the 2n + 2.
void WriteHandedOverLine(const BYTE* pData, DWORD nBytes) {
    DWORD nText = 0;
    while (nText < nBytes && pData[nText] != 0) ++nText;
    LPCSTR pszAnsi = reinterpret_cast<LPCSTR>(pData);
    int nChars = nText > 0 ? MultiByteToWideChar(CP_ACP, 0, pszAnsi, static_cast<int>(nText), NULL, 0) : 0;
    WCHAR* pWide = static_cast<WCHAR*>(calloc(static_cast<size_t>(nChars) + 1, sizeof(WCHAR)));
    if (pWide == NULL) return;
    if (nChars > 0) MultiByteToWideChar(CP_ACP, 0, pszAnsi, static_cast<int>(nText), pWide, nChars);
    WriteUtf8Line(pWide, nChars);
    free(pWide);
}

void DropKeptLinesLocked() {
    for (int i = 0; i < g_nKept; ++i) free(g_apKept[i]);
    g_nKept = 0;
}

}  // namespace

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
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    if (g_eSinkState == SINK_ON) {
        WriteHandedOverLine(pData, nBytes);
    } else if (g_eSinkState == SINK_UNDECIDED && g_nKept < kKeptLines) {
        BYTE* pCopy = static_cast<BYTE*>(malloc(nBytes > 0 ? nBytes : 1));
        if (pCopy != NULL) {
            if (nBytes > 0) memcpy(pCopy, pData, nBytes);
            g_apKept[g_nKept] = pCopy;
            g_anKept[g_nKept] = nBytes;
            ++g_nKept;
        }
    }
    return 1;
}

bool CLogFile::OpenSink(LPCWSTR pszPath, LPCWSTR pszFirstLine, DWORD* pdwError) {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    // Others may read the log while the run writes it; nobody else may write it.
    HANDLE hFile = CreateFileW(pszPath, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) {
        if (pdwError != NULL) *pdwError = GetLastError();
        return false;
    }
    g_hSink = hFile;
    WriteUtf8Line(pszFirstLine, static_cast<int>(wcslen(pszFirstLine)));
    for (int i = 0; i < g_nKept; ++i) WriteHandedOverLine(g_apKept[i], g_anKept[i]);
    DropKeptLinesLocked();
    g_eSinkState = SINK_ON;
    return true;
}

void CLogFile::WriteSinkLine(LPCWSTR pszLine) {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    if (g_eSinkState == SINK_ON) WriteUtf8Line(pszLine, static_cast<int>(wcslen(pszLine)));
}

void CLogFile::KeepSinkOff() {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    DropKeptLinesLocked();
    if (g_eSinkState == SINK_UNDECIDED) g_eSinkState = SINK_OFF;
}

void CLogFile::CloseSink() {
    std::lock_guard<std::mutex> lock(g_sinkMutex);
    if (g_eSinkState == SINK_ON) {
        CloseHandle(g_hSink);
        g_hSink = NULL;
    }
    DropKeptLinesLocked();
    g_eSinkState = SINK_OFF;
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
